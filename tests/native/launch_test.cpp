#include "search/launch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// Hands out named handles and fails the chosen step, so each clean-up can be compared with what
// was really left open. The steps counted are the ones whose failure fails the launch; the job,
// the handle list and the assignment to the job may be refused on their own.
struct FakeHandles {
  int failStep = 0;
  bool noJob = false, noList = false, noAssign = false;
  int step = 0;
  int pipes = 0;
  std::map<void*, std::string> names;
  std::set<void*> open;
  std::vector<std::string> closed;
  std::vector<std::string> inheritable;
  std::vector<std::string> events;  // the job, the list, the start, the assignment, the resume
  std::wstring reported;            // the command line the start failure named
  std::string childIn, childOut, childErr, startList;
  Names listed;                       // the handles the list passes on
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

bool CreateJobFake(void* user, void** job) {
  FakeHandles& f = F(user);
  f.events.push_back("job");
  if (f.noJob) return false;
  *job = f.Make("job", false);
  return true;
}

bool ListHandlesFake(void* user, void* const (&handles)[3], void** list) {
  FakeHandles& f = F(user);
  f.events.push_back("list");
  if (f.noList) return false;
  for (void* h : handles) f.listed.push_back(f.names[h]);
  *list = f.Make("list", false);
  return true;
}

// The list is memory, not a handle, but it is freed once as a handle is closed.
void FreeListFake(void* user, void* list) {
  F(user).events.push_back("free list");
  CloseFake(user, list);
}

bool StartFake(void* user, wchar_t*, void* in, void* out, void* err, void* list, void** process,
               void** thread) {
  FakeHandles& f = F(user);
  f.events.push_back("start");
  if (f.Fails()) return false;
  f.childIn = f.names[in];
  f.childOut = f.names[out];
  f.childErr = f.names[err];
  f.startList = list != nullptr ? f.names[list] : "";
  for (void* h : f.open) f.openAtStart.insert(f.names[h]);
  *process = f.Make("process", false);
  *thread = f.Make("thread", false);
  return true;
}

bool AssignFake(void* user, void* job, void* process) {
  FakeHandles& f = F(user);
  f.events.push_back("assign " + f.names[process] + " to " + f.names[job]);
  return !f.noAssign;
}

bool ResumeFake(void* user, void*, void*) {
  FakeHandles& f = F(user);
  f.events.push_back("resume");
  return !f.Fails();
}

void ReportFake(void* user, const wchar_t* commandLine) {
  F(user).reported = commandLine;
}

struct Launch {
  bool started;
  FakeHandles handles;
  std::unique_ptr<SearchContext> context = std::make_unique<SearchContext>();
};

std::unique_ptr<Launch> Launched(const FakeHandles& setting) {
  auto run = std::make_unique<Launch>();
  run->handles = setting;
  LaunchPlatform platform = {
      .user = &run->handles,
      .createPipe = CreatePipeFake,
      .duplicate = DuplicateFake,
      .close = CloseFake,
      .createJob = CreateJobFake,
      .listHandles = ListHandlesFake,
      .freeList = FreeListFake,
      .start = StartFake,
      .assign = AssignFake,
      .resume = ResumeFake,
      .reportStartFailure = ReportFake,
  };
  wchar_t command[] = L"findstr /N /I /P  foo";
  run->started = StartSearchProcess(command, *run->context, platform);
  return run;
}

// Every way the optional parts may go: a job or none, a list or none, the child put in the job or
// refused there.
std::vector<FakeHandles> Settings(int failStep) {
  std::vector<FakeHandles> settings;
  for (int refused = 0; refused < 8; ++refused) {
    FakeHandles f;
    f.failStep = failStep;
    f.noJob = (refused & 1) != 0;
    f.noList = (refused & 2) != 0;
    f.noAssign = (refused & 4) != 0;
    settings.push_back(f);
  }
  return settings;
}

std::string Describe(const FakeHandles& f) {
  return "step " + std::to_string(f.failStep) + (f.noJob ? ", no job" : "") +
         (f.noList ? ", no list" : "") + (f.noAssign ? ", not assigned" : "");
}

// Whichever step fails, every handle that the earlier steps made is closed, each once (closing
// one twice, or one never made, fails in CloseFake), the job and the list included, and the
// context is left as it was. Only a failed start or resume is reported, with the command line.
TEST(LaunchCleanUp, FailedStepLeavesNothingOpenAndClosesNothingTwice) {
  for (int step = 1; step <= 7; ++step) {
    for (const FakeHandles& setting : Settings(step)) {
      auto run = Launched(setting);
      std::string what = Describe(setting);
      EXPECT_FALSE(run->started) << what;
      EXPECT_TRUE(run->handles.open.empty()) << what;
      EXPECT_EQ(run->handles.closed.size(), run->handles.names.size()) << what;
      EXPECT_EQ(run->handles.reported, step >= 6 ? L"findstr /N /I /P  foo" : L"") << what;
      EXPECT_EQ(run->context->process, nullptr);
      EXPECT_EQ(run->context->outputRead, nullptr);
      EXPECT_EQ(run->context->inputWrite, nullptr);
      EXPECT_EQ(run->context->job, nullptr);
    }
  }
}

TEST(LaunchSuccess, ParentKeepsOnlyProcessOutputReadInputWriteAndJob) {
  auto run = Launched(FakeHandles{});
  ASSERT_TRUE(run->started);
  FakeHandles& h = run->handles;
  EXPECT_EQ(h.childIn, "R2");
  EXPECT_EQ(h.childOut, "W1");
  EXPECT_EQ(h.childErr, "W1e");
  EXPECT_EQ(h.inheritable, (Names{"R1", "W1", "W1e", "R2", "W2"}));
  // The parent's inheritable ends of the pipes that it keeps (R1, W2) are gone by the start, so
  // the output pipe breaks when the child ends even where the list cannot be used.
  EXPECT_EQ(h.openAtStart,
            (std::set<std::string>{"W1", "W1e", "R1p", "R2", "W2p", "job", "list"}));
  std::set<std::string> left;
  for (void* handle : h.open) left.insert(h.names[handle]);
  EXPECT_EQ(left, (std::set<std::string>{"process", "R1p", "W2p", "job"}));
  EXPECT_EQ(h.names[run->context->process], "process");
  EXPECT_EQ(h.names[run->context->outputRead], "R1p");
  EXPECT_EQ(h.names[run->context->inputWrite], "W2p");
  EXPECT_EQ(h.names[run->context->job], "job");
}

// The child inherits its three pipe ends and nothing else: each listed once, each inheritable.
// It is started suspended and put in its job before it runs, so whatever it starts is in the job.
TEST(LaunchSuccess, ChildInheritsItsThreePipeEndsOnlyAndRunsInItsJob) {
  auto run = Launched(FakeHandles{});
  FakeHandles& h = run->handles;
  Names listed = h.listed;
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (Names{"R2", "W1", "W1e"}));
  for (const std::string& name : listed)
    EXPECT_NE(std::find(h.inheritable.begin(), h.inheritable.end(), name), h.inheritable.end());
  EXPECT_EQ(h.startList, "list");
  EXPECT_EQ(h.events,
            (Names{"job", "list", "start", "free list", "assign process to job", "resume"}));
}

// Where the job or the list cannot be had, or the child cannot be put in the job, the search
// still starts: without a job (ended as a single process) or inheriting as it did before.
TEST(LaunchSuccess, SearchStartsWithoutTheJobOrTheListWhereTheyCannotBeHad) {
  for (const FakeHandles& setting : Settings(0)) {
    auto run = Launched(setting);
    std::string what = Describe(setting);
    ASSERT_TRUE(run->started) << what;
    bool inJob = !setting.noJob && !setting.noAssign;
    EXPECT_EQ(run->context->job != nullptr, inJob) << what;
    EXPECT_EQ(run->handles.startList, setting.noList ? "" : "list") << what;
    std::set<std::string> left;
    for (void* handle : run->handles.open) left.insert(run->handles.names[handle]);
    std::set<std::string> expected = {"process", "R1p", "W2p"};
    if (inJob) expected.insert("job");
    EXPECT_EQ(left, expected) << what;
    EXPECT_EQ(run->handles.events.back(), "resume") << what;
  }
}

}  // namespace
