// The host stays responsive and in control while a search lists: its messages are dispatched and
// Escape is seen while output keeps coming, only presses made during the search count, and a
// listing that the host closes or lists again from one of its own messages breaks nothing.
#include <algorithm>
#include <atomic>
#include <functional>

#include "testkit/mixed_output.h"
#include "tests/wine/fixture.h"

namespace {

using Names = std::vector<std::wstring>;

const std::wstring kInterrupted = L"\u51e6\u7406\u3092\u4e2d\u65ad\u3057\u307e\u3057\u305f";

// A message-only window of the host's: counts its timer's ticks as they are dispatched (each tick's
// handler taking `tickWork` ms), runs `onApp` for a posted WM_APP, and does incremental work as a
// UI thread does, each step posting the next (kStep). Either kind of work ends by itself after a
// few seconds, as a host's does, so that a plugin that waits for the queue to empty returns.
struct HostWindow {
  static constexpr UINT kStep = WM_APP + 1;
  HWND window = nullptr;
  std::vector<DWORD> ticks;
  std::function<void()> onApp;
  DWORD tickWork = 0;
  bool working = false;
  DWORD workUntil = 0;
  long steps = 0;

  HostWindow() {
    window = MakeMessageWindow(L"sarvik-test-host-window", Procedure);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~HostWindow() { DestroyWindow(window); }

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_TIMER) {
      self->ticks.push_back(GetTickCount());
      if (self->tickWork > 0) Sleep(self->tickWork);
      if (self->tickWork > 0 && GetTickCount() >= self->workUntil) KillTimer(window, 1);
    }
    if (self != nullptr && message == WM_APP && self->onApp) self->onApp();
    if (self != nullptr && message == kStep) {
      ++self->steps;
      if (self->working && GetTickCount() < self->workUntil) PostMessageW(window, kStep, 0, 0);
    }
    return DefWindowProcW(window, message, w, l);
  }

  void StartWork(DWORD milliseconds) {
    working = true;
    workUntil = GetTickCount() + milliseconds;
    PostMessageW(window, kStep, 0, 0);
  }
  void StartSlowTimer(DWORD milliseconds) {
    tickWork = 15;
    workUntil = GetTickCount() + milliseconds;
    SetTimer(window, 1, 10, nullptr);
  }
  // Ends either kind of work and takes what is left of it from the queue.
  void StopWork() {
    working = false;
    KillTimer(window, 1);
    tickWork = 0;
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  // How much of its work the host got done: steps, or ticks.
  size_t Done() const { return static_cast<size_t>(steps) + ticks.size(); }

  DWORD LongestGap(DWORD until) const {
    DWORD longest = 0;
    for (size_t i = 1; i < ticks.size(); ++i) longest = std::max(longest, ticks[i] - ticks[i - 1]);
    return ticks.empty() ? until : std::max(longest, until - ticks.back());
  }
};

double Milliseconds(LONGLONG from, LONGLONG to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

LONGLONG Counter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// The two kinds of host that never let their queue empty.
enum class BusyHost { kPostingItselfWork, kSlowTimer };
const char* Describe(BusyHost busy) {
  return busy == BusyHost::kPostingItselfWork ? "a host posting itself work"
                                              : "a 10 ms timer with a 15 ms handler";
}
void StartBusy(HostWindow& window, BusyHost busy, DWORD milliseconds = 4000) {
  if (busy == BusyHost::kPostingItselfWork)
    window.StartWork(milliseconds);
  else
    window.StartSlowTimer(milliseconds);
}

class HostControl : public PluginTest {};

// A search that prints without pause keeps the pipe full: the host's timer still ticks while it
// lists, and Escape stops it within a few hundred milliseconds, its child ended.
TEST_F(HostControl, SearchKeepingThePipeFullIsPumpedAndStoppedByEscape) {
  HostWindow window;
  ASSERT_NE(window.window, nullptr);
  HANDLE handle = OpenChild(L"repeat:400000:src\\\\full.c:12:int\\x20x;\\r\\n");
  ForgetEscape();
  std::atomic<DWORD> pressedAt{0};
  std::thread press([&] {
    Sleep(1500);
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    pressedAt = GetTickCount();
    SendInput(2, keys, sizeof(INPUT));
  });
  SetTimer(window.window, 1, 10, nullptr);
  DWORD started = GetTickCount();
  Listed listed = List(handle);
  DWORD ended = GetTickCount();
  KillTimer(window.window, 1);
  press.join();
  std::printf(
      "%zu entries in %lu ms, %zu ticks, longest without one %lu ms, stopped %lu ms after "
      "the press\n",
      listed.names.size(), ended - started, window.ticks.size(), window.LongestGap(ended),
      ended - pressedAt);
  EXPECT_EQ(listed.last, -1);
  EXPECT_LT(listed.names.size(), 400000u);
  EXPECT_LT(ended - pressedAt, 700u);
  EXPECT_LT(window.LongestGap(ended), 200u);
  EXPECT_EQ(host->Printed(), (Names{kInterrupted}));
  EXPECT_EQ(WaitForSingleObject(Context(handle).process, 5000), WAIT_OBJECT_0);
  api().close(handle);
}

// Escape pressed before the listing (to close a dialog, or in another program) is forgotten.
TEST_F(HostControl, EscapePressedBeforeTheListingDoesNotStopIt) {
  HANDLE handle = OpenChild(L"sleep:300 out:a.txt:1:x\\r\\n");
  PressEscapeAfter(0).join();
  Sleep(100);
  Listed listed = List(handle);
  EXPECT_EQ(listed.names, (Names{L"a.txt:1"}));
  EXPECT_TRUE(host->Printed().empty());
  api().close(handle);
}

// The host closes the listing from a message that the listing's own wait dispatched, with its pipe
// silent or kept full: the waiting call ends with -1, the child is ended, and the context goes
// once that call has returned. A block the size of a context, allocated right after the close,
// would be where a context freed too early is written.
TEST_F(HostControl, ListingClosedFromAMessageItDispatchedIsReleasedAfterItsCall) {
  HostWindow window;
  Load();
  HANDLE handle = nullptr, process = nullptr;
  BYTE* canary = nullptr;
  window.onApp = [&] {
    DuplicateHandle(GetCurrentProcess(), Context(handle).process, GetCurrentProcess(), &process, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    EXPECT_EQ(api().close(handle), 1);
    canary = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, sizeof(SearchContext)));
    memset(canary, 0x5a, sizeof(SearchContext));
  };
  auto cycle = [&](bool full) {
    WriteConfig({{L"GrepCommand", ChildCommand()}, {L"MessageOutput", L"1"}});
    handle = Open(L"\"" + folder + L"\" " +
                  (full ? L"repeat:1000000:a.txt:1:x\\r\\n" : L"out:a.txt:1:x\\r\\n hang"));
    FindRecord record;
    int last = 0;
    if (full) {
      ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
      PostMessageW(window.window, WM_APP, 0, 0);  // dispatched while the pipe stays full
      for (int i = 0; i < 1000000 && (last = api().findNext(handle, &record)) == 1; ++i) {
      }
    } else {
      PostMessageW(window.window, WM_APP, 0, 0);  // dispatched in the first wait
      last = api().findFirst(handle, nullptr, &record);
    }
    EXPECT_EQ(last, -1);
    ASSERT_NE(canary, nullptr);
    for (size_t i = 0; i < sizeof(SearchContext); ++i) ASSERT_EQ(canary[i], 0x5a) << i;
    GlobalFree(canary);
    canary = nullptr;
    EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
    CloseHandle(process);
    EXPECT_EQ(host->Count(L"MesOk"), 0);
    host->calls.clear();
  };
  // Warm up: the heap and Wine's own bookkeeping settle within the first hundred cycles or so.
  for (int i = 0; i < (ShortSoak() ? 20 : 100); ++i) cycle(i % 2 == 0);
  const int cycles = ShortSoak() ? 40 : 300;
  Usage before = MeasureUsage();
  for (int i = 0; i < cycles; ++i) cycle(i % 2 == 0);
  Usage after = MeasureUsage();
  std::printf("%d cycles: handles %u -> %u, private bytes %lu -> %lu\n", cycles, before.handles,
              after.handles, static_cast<unsigned long>(before.privateBytes),
              static_cast<unsigned long>(after.privateBytes));
  EXPECT_EQ(after.handles, before.handles);
  // A context left behind would add 24 KB a cycle: about 1 MB in the fewest cycles.
  EXPECT_LT(after.privateBytes, before.privateBytes + 512 * 1024);
}

// From a message that the listing's wait dispatched, the host lists the same handle again, or asks
// for its next entry: refused, without touching the running listing, which lists all of its own.
// The actions on entries work, and other handles are unaffected.
TEST_F(HostControl, ListingCallsFromAMessageTheWaitDispatchedAreRefused) {
  HostWindow window;
  Load();
  HANDLE handle = nullptr;
  window.onApp = [&] {
    FindRecord record;
    memset(&record, 0xcc, sizeof(record));
    EXPECT_EQ(api().findFirst(handle, nullptr, &record), 0);
    EXPECT_EQ(api().findNext(handle, &record), -1);
    EXPECT_EQ(record.name[0], static_cast<wchar_t>(0xcccc));  // untouched
    EXPECT_EQ(api().execute(handle, L"/a.txt:1"), 1);
    wchar_t path[kPathCapacity];
    EXPECT_EQ(api().intCopyTo(handle, L"a.txt:1", nullptr, path, kPathCapacity, nullptr), 1);
    HANDLE other = Open(L"\"" + folder + L"\" out:other.txt:7:z\\r\\n");
    EXPECT_EQ(List(other).names, (Names{L"other.txt:7"}));
    EXPECT_EQ(api().close(other), 1);
  };
  WriteConfig({{L"GrepCommand", ChildCommand()}});
  const int warmUp = ShortSoak() ? 5 : 20, cycles = ShortSoak() ? 20 : 200;
  Usage before = MeasureUsage();
  for (int i = 0; i < warmUp + cycles; ++i) {
    if (i == warmUp) before = MeasureUsage();
    handle = Open(L"\"" + folder + L"\" sleep:50 out:a.txt:1:x\\r\\n sleep:50 out:b.txt:2:y\\r\\n");
    PostMessageW(window.window, WM_APP, 0, 0);
    Listed listed = List(handle);
    std::wstring printed;
    for (const std::wstring& text : host->Printed()) printed += text + L" | ";
    ASSERT_EQ(listed.names, (Names{L"a.txt:1", L"b.txt:2"}))
        << "cycle " << i << ", ended with " << listed.last << ", printed " << ToUtf8(printed);
    EXPECT_EQ(api().close(handle), 1);
    ASSERT_EQ(host->Executed().size(), 1u);
    host->calls.clear();
  }
  Usage after = MeasureUsage();
  EXPECT_EQ(after.handles, before.handles);
  EXPECT_LT(after.privateBytes, before.privateBytes + 512 * 1024);
}

// A host that keeps its queue full (each message posting the next, or a timer whose handler takes
// longer than its period) holds no listing: the first result is there at once, Escape ends the
// listing at once, and the host's own work goes on all the while.
TEST_F(HostControl, HostThatNeverEmptiesItsQueueHoldsNoListing) {
  for (BusyHost busy : {BusyHost::kPostingItselfWork, BusyHost::kSlowTimer}) {
    HostWindow window;
    HANDLE handle = OpenChild(L"stamp hang");
    ForgetEscape();
    StartBusy(window, busy);
    std::atomic<DWORD> pressedAt{0};
    std::thread press([&] {
      Sleep(1000);
      pressedAt = GetTickCount();
      PressEscapeAfter(0).join();
    });
    LONGLONG called = Counter();
    FindRecord record;
    int first = api().findFirst(handle, nullptr, &record);
    LONGLONG returned = Counter();
    LONGLONG stamp = _wtoi64(record.name + 10);  // stamp.txt:COUNTER
    size_t doneBefore = window.Done();
    int next = first == 1 ? api().findNext(handle, &record) : first;
    DWORD ended = GetTickCount();
    press.join();
    size_t done = window.Done() - doneBefore;
    window.StopWork();
    std::printf("%s: first entry %.1f ms after ApiFindFirst, %.1f ms after it was written; "
                "stopped %lu ms after Escape; %zu of the host's messages handled meanwhile\n",
                Describe(busy), Milliseconds(called, returned), Milliseconds(stamp, returned),
                ended - pressedAt, done);
    EXPECT_EQ(first, 1) << Describe(busy);
    EXPECT_EQ(next, -1) << Describe(busy);
    EXPECT_LT(Milliseconds(stamp, returned), 100.0) << Describe(busy);
    EXPECT_LT(ended - pressedAt, 100u) << Describe(busy);
    EXPECT_GT(done, 20u) << Describe(busy);  // a second of the host's work: its steps, its ticks
    api().close(handle);
    host->calls.clear();
  }
}

// Under such a host a long listing still goes on at a good share of its pace.
TEST_F(HostControl, LongListingUnderABusyHostTakesAtMostTwiceAsLong) {
  const int lines = ShortSoak() ? 20000 : 200000;
  WriteBytes(folder + L"output.txt", MixedOutput(lines));
  auto listing = [&](const BusyHost* busy) {
    HostWindow window;
    HANDLE handle = OpenChild(L"cat:" + folder + L"output.txt");
    if (busy != nullptr) StartBusy(window, *busy, 10 * 60 * 1000);  // for the whole listing
    DWORD started = GetTickCount();
    size_t entries = List(handle).names.size();
    DWORD took = GetTickCount() - started;
    window.StopWork();
    EXPECT_EQ(entries, static_cast<size_t>(lines));
    api().close(handle);
    return took;
  };
  DWORD quiet = listing(nullptr);
  for (BusyHost busy : {BusyHost::kPostingItselfWork, BusyHost::kSlowTimer}) {
    DWORD took = listing(&busy);
    std::printf("%d lines: %lu ms, under %s %lu ms\n", lines, quiet, Describe(busy), took);
    EXPECT_LE(took, 2 * quiet) << Describe(busy);
  }
}

// A quit request that the wait takes from the queue is held, not left there to end every wait at
// once: the host's thread spends no more time in a silent search than without it, and finds its
// quit, with its exit code, once the listing call has returned.
TEST_F(HostControl, QuitRequestIsHeldWithoutSpinningAndGivenBackAfterTheCall) {
  auto cpu = [] {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return (static_cast<ULONGLONG>(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) / 10000 +
           (static_cast<ULONGLONG>(user.dwHighDateTime) << 32 | user.dwLowDateTime) / 10000;
  };
  ULONGLONG spent[2];
  for (bool quit : {false, true}) {
    HANDLE handle = OpenChild(L"sleep:2000 out:a.txt:1:x\\r\\n");
    if (quit) PostQuitMessage(7);
    ULONGLONG before = cpu();
    FindRecord record;
    EXPECT_EQ(api().findFirst(handle, nullptr, &record), 1);
    spent[quit] = cpu() - before;
    MSG message;
    EXPECT_EQ(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, quit);
    if (quit) {
      EXPECT_EQ(message.wParam, 7u);
    }
    api().close(handle);
  }
  std::printf("the host thread's time in a 2 s silent wait: %llu ms, with a quit request %llu ms\n",
              spent[0], spent[1]);
  EXPECT_LT(spent[1], spent[0] + 150);  // spinning on the quit took 1,310 ms of 3 s
}

// A host that closes the listing from one of its messages and then unloads the plugin (as a host
// unloading plugins it no longer uses) returns into code that is still there: the host goes on.
TEST_F(HostControl, HostThatClosesAndUnloadsFromAMessageGoesOn) {
  Load({{L"GrepCommand", ChildCommand()}});
  host.reset();  // the test's own host lets go of the DLL; the role loads it afresh
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::string role = kCloseAndUnloadRole;
  std::wstring command = std::wstring(L"\"") + self + L"\" " +
                         std::wstring(role.begin(), role.end()) + L" " + folder;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &child));
  ASSERT_EQ(WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  EXPECT_EQ(code, 0u) << std::hex << code;
}

}  // namespace
