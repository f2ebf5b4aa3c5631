// The module loads, identifies itself and answers the entry points it does not support.
#include <objbase.h>

#include <vector>

#include "plugin/version.h"
#include "tests/wine/fixture.h"

namespace {

class ModuleTest : public PluginTest {};

std::vector<BYTE> ExpectedInfo() {
  std::vector<BYTE> bytes(212, 0);
  const wchar_t name[] = L"sarvik";
  const wchar_t author[] = L"T907.ORVALD";
  memcpy(&bytes[0], name, sizeof(name) - sizeof(wchar_t));
  memcpy(&bytes[128], author, sizeof(author) - sizeof(wchar_t));
  // One byte per component, most significant first, in a little-endian field.
  bytes[192] = SARVIK_VERSION_BUILD;
  bytes[193] = SARVIK_VERSION_PATCH;
  bytes[194] = SARVIK_VERSION_MINOR;
  bytes[195] = SARVIK_VERSION_MAJOR;
  return bytes;
}

void ExpectInfoRecord(decltype(&ApiGetPluginInfo) getInfo) {
  std::vector<BYTE> record(240, 0xcc);
  getInfo(reinterpret_cast<PluginInfoRecord*>(record.data()));
  EXPECT_EQ(std::vector<BYTE>(record.begin(), record.begin() + 212), ExpectedInfo());
  for (size_t i = 212; i < record.size(); ++i) ASSERT_EQ(record[i], 0xcc) << "byte " << i;
}

TEST_F(ModuleTest, PluginInfoIsTheRecordByteForByte) {
  Load();
  ExpectInfoRecord(api().getPluginInfo);
  api().getPluginInfo(nullptr);  // touches nothing
  EXPECT_TRUE(host->calls.empty());
}

TEST_F(ModuleTest, PluginInfoIgnoresTheFileName) {
  Load({}, true, L"renamed-plugin.dll");
  ExpectInfoRecord(api().getPluginInfo);
}

TEST_F(ModuleTest, UnsupportedEntryPointsAnswerTheirFixedResults) {
  Load();
  void* garbage = reinterpret_cast<void*>(0x13);
  for (void* p : {static_cast<void*>(nullptr), garbage}) {
    EXPECT_EQ(api().copyFrom(p, p, p, p), 0);
    EXPECT_EQ(api().copyTo(p, p, p, p), 0);
    EXPECT_EQ(api().move(p, p, p, p), 0);
    EXPECT_EQ(api().createDirectory(p, p), 0);
    EXPECT_EQ(api().deleteEntry(p, p), 0);
    EXPECT_EQ(api().removeDirectory(p, p), 0);
    EXPECT_EQ(api().rename(p, p, p), 0);
    EXPECT_EQ(api().showContextMenu(p, p, p, p, p), 2);
  }
  EXPECT_TRUE(host->calls.empty());
}

TEST_F(ModuleTest, NullHandlesAreRefused) {
  Load();
  FindRecord record;
  wchar_t buffer[16];
  BYTE hostRecord[kHostRecordSize] = {};
  OpenResultRecord result;
  EXPECT_EQ(api().close(nullptr), 0);
  EXPECT_EQ(api().findFirst(nullptr, nullptr, &record), 0);
  EXPECT_EQ(api().findNext(nullptr, &record), 0);
  EXPECT_EQ(api().execute(nullptr, L"/a.c:1"), 0);
  EXPECT_EQ(api().execute2(nullptr, L"/a.c:1"), 0);
  EXPECT_EQ(api().intCopyTo(nullptr, L"/a.c:1", nullptr, buffer, 16, nullptr), 0);
  EXPECT_EQ(api().open(nullptr, hostRecord, &result), nullptr);
  EXPECT_EQ(api().open(L"\"d\" x", nullptr, &result), nullptr);
  EXPECT_EQ(api().open(L"\"d\" x", hostRecord, nullptr), nullptr);
  EXPECT_TRUE(host->calls.empty());
}

TEST_F(ModuleTest, WithoutAHostObjectItLoadsAnswersAndStaysSilent) {
  Load({{L"GrepCommand", ChildCommand()}}, /*hostObject=*/false);
  ExpectInfoRecord(api().getPluginInfo);
  BYTE hostRecord[kHostRecordSize] = {};
  OpenResultRecord result;
  EXPECT_EQ(api().open(L"no quote", hostRecord, &result), nullptr);  // its message is lost
  HANDLE handle = Open(L"\"" + folder + L"\" out:a.txt:1:x\\r\\n");
  FindRecord record;
  EXPECT_EQ(api().findFirst(handle, nullptr, &record), 1);  // searches still list
  EXPECT_STREQ(record.name, L"a.txt:1");
  EXPECT_EQ(api().execute(handle, L"/a.txt:1"), 0);  // entry actions are lost
  api().close(handle);
  EXPECT_TRUE(host->calls.empty());
}

// COM's initialisation count on a thread of its own tells whether detach undid exactly what
// attach did: CoInitialize answers S_FALSE while the thread is initialised, S_OK once it is not.
TEST(ModuleLifecycle, DetachUndoesExactlyTheComInitialisationOfAttach) {
  std::wstring folder = MakeTempDirectory();
  std::wstring dll = folder + L"sarvik.dll";
  ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"sarvik.dll").c_str(), dll.c_str(), FALSE));
  for (bool hostObject : {false, true}) {
    std::thread([&] {
      TestHost host(hostObject);  // initialises COM once on this thread
      HMODULE module = LoadLibraryW(dll.c_str());
      ASSERT_NE(module, nullptr);
      EXPECT_EQ(LiveHostObjects() > 0, hostObject);
      FreeLibrary(module);
      EXPECT_EQ(CoInitialize(nullptr), S_FALSE) << "detach took the host's own away";
      CoUninitialize();
      CoUninitialize();  // the test host's own
      EXPECT_EQ(CoInitialize(nullptr), S_OK) << "attach's was left, host object: " << hostObject;
    }).join();  // the test host's destructor undoes the last
  }
  RemoveTree(folder);
}

// A host thread in the multithreaded apartment: attach's CoInitialize fails there (a changed
// mode), so detach must leave the thread's own initialisation alone, host object or not.
TEST(ModuleLifecycle, OnAThreadInTheMultithreadedApartmentComIsLeftAsItWas) {
  std::wstring folder = MakeTempDirectory();
  std::wstring dll = folder + L"sarvik.dll";
  ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"sarvik.dll").c_str(), dll.c_str(), FALSE));
  std::thread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      TestHost host;  // serves the host object from this apartment
      HMODULE module = LoadLibraryW(dll.c_str());
      ASSERT_NE(module, nullptr);
      EXPECT_GT(LiveHostObjects(), 0);
      FreeLibrary(module);
      EXPECT_EQ(LiveHostObjects(), 0);
    }
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE)
        << "detach took the thread's own initialisation away";
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
  }).join();
  RemoveTree(folder);
}

// Ending the process is not an unload: detach then leaves COM alone, so a host object served out
// of process cannot hold up the host's exit. FreeLibrary still releases it.
TEST(ModuleLifecycle, DetachAtProcessExitDoesNotReleaseTheHostObject) {
  std::wstring folder = MakeTempDirectory();
  ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"sarvik.dll").c_str(),
                        (folder + L"sarvik.dll").c_str(), FALSE));
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (const wchar_t* how : {L"unload", L"exit"}) {
    DeleteFileW((folder + L"released").c_str());
    std::string role = kHoldHostObjectRole;
    std::wstring command = std::wstring(L"\"") + self + L"\" " +
                           std::wstring(role.begin(), role.end()) + L" " + how + L" " + folder;
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
    EXPECT_EQ(code, 0u) << ToUtf8(how);
    bool released = GetFileAttributesW((folder + L"released").c_str()) != INVALID_FILE_ATTRIBUTES;
    EXPECT_EQ(released, std::wstring(how) == L"unload") << ToUtf8(how);
  }
  RemoveTree(folder);
}

TEST(ModuleLifecycle, DetachReleasesTheHostObject) {
  std::wstring folder = MakeTempDirectory();
  std::wstring dll = folder + L"sarvik.dll";
  ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"sarvik.dll").c_str(), dll.c_str(), FALSE));
  {
    TestHost host;
    int before = LiveHostObjects();
    ASSERT_TRUE(host.Load(dll));
    EXPECT_EQ(LiveHostObjects(), before + 1);
    host.Unload();
    EXPECT_EQ(LiveHostObjects(), before);
  }
  RemoveTree(folder);
}

}  // namespace
