#include "search/launch.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// Hands out named handles and fails the chosen step, so each clean-up can be compared with what
// was really left open.
struct FakeHandles {
  int failStep = 0;
  int step = 0;
  int pipes = 0;
  std::map<void*, std::string> names;
  std::set<void*> open;
  std::vector<std::string> closed;
  std::vector<std::string> inheritable;
  std::wstring reported;  // the command line the start failure named
  std::string childIn, childOut, childErr;
  std::set<std::string> openAtStart;  // what the parent held when the child was started

  void* Make(const std::string& name, bool inherit) {
    void* h = reinterpret_cast<void*>(names.size() + 1);
    names[h] = name;
    open.insert(h);
    if (inherit) inheritable.push_back(name);
    return h;
  }
  bool Fails() { return ++step == failStep; }
};

FakeHandles& F(void* user) {
  return *static_cast<FakeHandles*>(user);
}

bool CreatePipeFake(void* user, void** r, void** w) {
  FakeHandles& f = F(user);
  if (f.Fails()) return false;
  ++f.pipes;
  *r = f.Make(f.pipes == 1 ? "R1" : "R2", true);
  *w = f.Make(f.pipes == 1 ? "W1" : "W2", true);
  return true;
}

bool DuplicateFake(void* user, void* h, bool inheritable, void** copy) {
  FakeHandles& f = F(user);
  if (f.Fails()) return false;
  const std::string& of = f.names[h];
  *copy = f.Make(of == "W1" ? "W1e" : of == "R1" ? "R1p" : "W2p", inheritable);
  return true;
}

void CloseFake(void* user, void* h) {
  FakeHandles& f = F(user);
  EXPECT_EQ(f.open.count(h), 1u) << "closed twice or never made: " << f.names[h];
  f.open.erase(h);
  f.closed.push_back(f.names[h]);
}

bool StartFake(void* user, wchar_t*, void* in, void* out, void* err, void** process,
               void** thread) {
  FakeHandles& f = F(user);
  if (f.Fails()) return false;
  f.childIn = f.names[in];
  f.childOut = f.names[out];
  f.childErr = f.names[err];
  for (void* h : f.open) f.openAtStart.insert(f.names[h]);
  *process = f.Make("process", false);
  *thread = f.Make("thread", false);
  return true;
}

void ReportFake(void* user, const wchar_t* commandLine) {
  F(user).reported = commandLine;
}

using Names = std::vector<std::string>;

struct Launch {
  bool started;
  FakeHandles handles;
  std::unique_ptr<SearchContext> context = std::make_unique<SearchContext>();
};

std::unique_ptr<Launch> Launched(int failStep) {
  auto run = std::make_unique<Launch>();
  run->handles.failStep = failStep;
  LaunchPlatform platform = {
      .user = &run->handles,
      .createPipe = CreatePipeFake,
      .duplicate = DuplicateFake,
      .close = CloseFake,
      .start = StartFake,
      .reportStartFailure = ReportFake,
  };
  wchar_t command[] = L"findstr /N /I /P  foo";
  run->started = StartSearchProcess(command, *run->context, platform);
  return run;
}

// Whichever step fails, every handle that the earlier steps made is closed, each once (closing
// one twice, or one never made, fails in CloseFake), and the context is left as it was. Only a
// failed start is reported, with the command line that was tried.
TEST(LaunchCleanUp, FailedStepLeavesNothingOpenAndClosesNothingTwice) {
  for (int step = 1; step <= 6; ++step) {
    auto run = Launched(step);
    EXPECT_FALSE(run->started) << step;
    EXPECT_TRUE(run->handles.open.empty()) << "step " << step;
    EXPECT_EQ(run->handles.closed.size(), run->handles.names.size()) << "step " << step;
    EXPECT_EQ(run->handles.reported, step == 6 ? L"findstr /N /I /P  foo" : L"") << step;
    EXPECT_EQ(run->context->process, nullptr);
    EXPECT_EQ(run->context->outputRead, nullptr);
    EXPECT_EQ(run->context->inputWrite, nullptr);
  }
}

TEST(LaunchSuccess, ParentKeepsOnlyProcessOutputReadAndInputWrite) {
  auto run = Launched(0);
  ASSERT_TRUE(run->started);
  FakeHandles& h = run->handles;
  EXPECT_EQ(h.childIn, "R2");
  EXPECT_EQ(h.childOut, "W1");
  EXPECT_EQ(h.childErr, "W1e");
  EXPECT_EQ(h.inheritable, (Names{"R1", "W1", "W1e", "R2", "W2"}));
  // The child inherits every inheritable handle: the parent's inheritable ends of the pipes that
  // it keeps (R1, W2) are gone by then, so the output pipe breaks when the child ends.
  EXPECT_EQ(h.openAtStart, (std::set<std::string>{"W1", "W1e", "R1p", "R2", "W2p"}));
  std::set<std::string> left;
  for (void* handle : h.open) left.insert(h.names[handle]);
  EXPECT_EQ(left, (std::set<std::string>{"process", "R1p", "W2p"}));
  EXPECT_EQ(h.names[run->context->process], "process");
  EXPECT_EQ(h.names[run->context->outputRead], "R1p");
  EXPECT_EQ(h.names[run->context->inputWrite], "W2p");
}

}  // namespace
