// What sarvik starts and what it stops: the program the command line names (never one lying in
// the current directory), the whole tree of processes behind a wrapper, and nothing of the
// host's handles passed on.
#include "tests/wine/fixture.h"

#include "testkit/unique_handle.h"

namespace {

using Names = std::vector<std::wstring>;

// Lines enough that the first entry is handed over while the search still runs.
const wchar_t kPadding[] = L"repeat:100:pad.txt:1:x\\r\\n";

class SearchLaunch : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    savedDirectory = current;
    DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    savedPath.resize(size);
    GetEnvironmentVariableW(L"PATH", &savedPath[0], size);
    savedPath.resize(size > 0 ? size - 1 : 0);
    // The search runs in the host's current directory, as in the file manager.
    searched = folder + L"searched\\";
    CreateDirectoryW(searched.c_str(), nullptr);
    SetCurrentDirectoryW(searched.c_str());
  }
  void TearDown() override {
    SetCurrentDirectoryW(savedDirectory.c_str());
    SetEnvironmentVariableW(L"PATH", savedPath.c_str());
    PluginTest::TearDown();
  }
  void Place(const wchar_t* program, const std::wstring& as) {
    ASSERT_TRUE(CopyFileW((ProgramDirectory() + program).c_str(), as.c_str(), FALSE))
        << ToUtf8(as);
  }
  bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // Lists with GrepCommand set as given (none: the default), then closes.
  Listed ListWith(const wchar_t* grepCommand, const std::wstring& words) {
    if (host == nullptr) Load();
    if (grepCommand != nullptr) WriteConfig({{L"GrepCommand", grepCommand}});
    HANDLE handle = Open(L"\"" + searched + L"\" " + words);
    Listed listed = List(handle);
    api().close(handle);
    return listed;
  }

  std::wstring savedDirectory, savedPath, searched;
};

// With the default settings, a findstr.exe in the folder being searched (from an unpacked archive
// or a cloned repository) does not run: the system's own does. It would leave its mark.
TEST_F(SearchLaunch, ProgramInTheCurrentDirectoryDoesNotRunInPlaceOfTheRealOne) {
  Place(L"sarvik-child.exe", searched + L"findstr.exe");
  std::wstring mark = folder + L"ran";
  Listed listed = ListWith(nullptr, L"touch:" + mark);
  EXPECT_FALSE(Exists(mark));
  EXPECT_EQ(listed.last, -1);  // Wine's findstr prints nothing
}

// The same name on the PATH runs; a name in the current directory runs only when the command
// names it so (".\"). The two copies are different programs, so the mark says which one ran.
TEST_F(SearchLaunch, ProgramOnThePathRunsAndOneNamedWithItsFolderRunsFromThere) {
  std::wstring bin = folder + L"bin\\";
  CreateDirectoryW(bin.c_str(), nullptr);
  Place(L"sarvik-child.exe", bin + L"sarvik-probe.exe");
  Place(L"sgrep.exe", searched + L"sarvik-probe.exe");  // ignores the step: leaves no mark
  SetEnvironmentVariableW(L"PATH", (bin + L";" + savedPath).c_str());
  std::wstring mark = folder + L"ran";
  Listed listed = ListWith(L"sarvik-probe", L"touch:" + mark + L" out:a.txt:1:x\\r\\n");
  EXPECT_TRUE(Exists(mark));
  EXPECT_EQ(listed.names, (Names{L"a.txt:1"}));

  DeleteFileW(mark.c_str());
  Place(L"sgrep.exe", bin + L"sarvik-probe.exe");
  Place(L"sarvik-child.exe", searched + L"sarvik-probe.exe");
  listed = ListWith(L".\\sarvik-probe.exe", L"touch:" + mark + L" out:b.txt:2:y\\r\\n");
  EXPECT_TRUE(Exists(mark));
  EXPECT_EQ(listed.names, (Names{L"b.txt:2"}));
}

// An empty, "." or relative PATH entry is the current directory by another name: the program
// there is not found, and the start fails as for a missing program, the command line below.
TEST_F(SearchLaunch, ProgramFoundOnlyThroughARelativePathEntryIsMissing) {
  CreateDirectoryW((searched + L"sub").c_str(), nullptr);
  Place(L"sarvik-child.exe", searched + L"sarvik-probe.exe");
  Place(L"sarvik-child.exe", searched + L"sub\\sarvik-probe.exe");
  SetEnvironmentVariableW(L"PATH", (L".;;sub;.\\sub;" + savedPath).c_str());
  std::wstring mark = folder + L"ran";
  Listed listed = ListWith(L"sarvik-probe", L"touch:" + mark);
  EXPECT_FALSE(Exists(mark));
  EXPECT_EQ(listed.last, 0);
  std::wstring system = SystemText(2);
  EXPECT_EQ(host->Printed(),
            (Names{L"ERROR: API = Redirect.  error code = 2.  message = " +
                       system.substr(0, system.find(L'\r')),
                   L"sarvik-probe  touch:" + mark}));
}

// The search behind a wrapper: cmd starts the scripted child, which prints its process id and
// waits. Escape, closing the listing and listing it again each end it, not only cmd.
class Wrapped : public SearchLaunch {
 protected:
  HANDLE OpenWrapped() {
    Load();
    WriteConfig({{L"GrepCommand", L"cmd /c " + ChildCommand()}});
    return Open(L"\"" + searched + L"\" pid " + kPadding + L" hang");
  }
  // The real search, from the entry it printed.
  UniqueHandle RealSearch(const FindRecord& record) {
    std::wstring name = record.name;
    EXPECT_EQ(name.substr(0, 8), L"pid.txt:");
    DWORD id = wcstoul(name.c_str() + 8, nullptr, 10);
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    EXPECT_TRUE(process) << "no process " << id;
    return process;
  }
  bool EndsWithinASecond(const UniqueHandle& process) {
    return WaitForSingleObject(process.get(), 1000) == WAIT_OBJECT_0;
  }
};

TEST_F(Wrapped, EscapeEndsTheWholeSearch) {
  HANDLE handle = OpenWrapped();
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  UniqueHandle search = RealSearch(record);
  ForgetEscape();
  std::thread escape = PressEscapeAfter(200);
  int last = 1;
  for (int i = 0; i < 200 && last == 1; ++i) last = api().findNext(handle, &record);
  EXPECT_EQ(last, -1);
  escape.join();
  EXPECT_TRUE(EndsWithinASecond(search));
  EXPECT_EQ(host->Printed(), (Names{L"\u51e6\u7406\u3092\u4e2d\u65ad\u3057\u307e\u3057\u305f"}));
  api().close(handle);
}

TEST_F(Wrapped, ClosingAListingThatStillRunsEndsTheWholeSearch) {
  HANDLE handle = OpenWrapped();
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  UniqueHandle search = RealSearch(record);
  DWORD started = GetTickCount();
  EXPECT_EQ(api().close(handle), 1);
  EXPECT_LT(GetTickCount() - started, 1000u);
  EXPECT_TRUE(EndsWithinASecond(search));
}

TEST_F(Wrapped, ListingAgainEndsThePreviousSearchFirst) {
  HANDLE handle = OpenWrapped();
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  UniqueHandle first = RealSearch(record);
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  UniqueHandle second = RealSearch(record);
  EXPECT_TRUE(EndsWithinASecond(first));
  EXPECT_EQ(WaitForSingleObject(second.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  api().close(handle);
  EXPECT_TRUE(EndsWithinASecond(second));
}

// A search that prints nothing and never ends, started directly, ends with the listing's close:
// before, only a write into its broken pipe would have ended it.
TEST_F(SearchLaunch, DirectChildStillRunningAtCloseEnds) {
  HANDLE handle = OpenChild(std::wstring(kPadding) + L" hang");
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  HANDLE process = nullptr;
  DuplicateHandle(GetCurrentProcess(), Context(handle).process, GetCurrentProcess(), &process, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  UniqueHandle child(process);
  EXPECT_EQ(api().close(handle), 1);
  EXPECT_EQ(WaitForSingleObject(child.get(), 1000), WAIT_OBJECT_0);
}

// The host's own inheritable handles (a file it copies, a pipe of its own) stay the host's: the
// search is given their values and cannot use them.
TEST_F(SearchLaunch, HostsInheritableHandlesAreNotPassedOn) {
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  UniqueHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  UniqueHandle reader(readEnd), writer(writeEnd);
  wchar_t steps[128];
  swprintf(steps, 128, L"set:%llx put:%llx out:done.txt:1:x\\r\\n",
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(event.get())),
           static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(writer.get())));
  HANDLE handle = OpenChild(steps);
  EXPECT_EQ(List(handle).names, (Names{L"done.txt:1"}));  // the steps before it have run
  api().close(handle);
  EXPECT_EQ(WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD available = 1;
  ASSERT_TRUE(PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr));
  EXPECT_EQ(available, 0u);
}

// sgrep, like grep-like tools on a broken pipe, ends at its first write that nobody reads,
// instead of searching on to the end for nobody.
TEST_F(SearchLaunch, SgrepEndsAtItsFirstFailedWrite) {
  for (int i = 0; i < 50; ++i) WriteBytes(searched + L"f" + std::to_wstring(i) + L".txt", "foo\r\n");
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  CloseHandle(readEnd);  // nobody reads
  UniqueHandle writer(writeEnd);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = writer.get();
  std::wstring command = SgrepCommand() + L" foo *.txt";
  PROCESS_INFORMATION started = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                             nullptr, searched.c_str(), &startup, &started));
  UniqueHandle process(started.hProcess), thread(started.hThread);
  ASSERT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  EXPECT_EQ(code, 2u);  // it found matches: 0 had it searched on
}

}  // namespace
