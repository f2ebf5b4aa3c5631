#include "tests/wine/fixture.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "testkit/unique_handle.h"

std::wstring ChildCommand() {
  return L"\"" + ProgramDirectory() + L"sarvik-child.exe\"";
}
std::wstring SgrepCommand() {
  return L"\"" + ProgramDirectory() + L"sgrep.exe\" /N /I /P";
}

std::wstring MakeTempDirectory() {
  static int counter = 0;
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  for (;;) {
    std::wstring path = std::wstring(base) + L"sarvik-test-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
                        L"\\";
    if (CreateDirectoryW(path.c_str(), nullptr)) return path;
  }
}

void RemoveTree(const std::wstring& directory) {
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirstFileW((directory + L"*").c_str(), &data));
  if (find) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = directory + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path + L"\\");
      else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find.get(), &data));
    find.reset();
  }
  RemoveDirectoryW(directory.c_str());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << "cannot write " << ToUtf8(path);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void WriteIni(const std::wstring& path, const std::wstring& content) {
  std::string bytes = "\xff\xfe";
  bytes.append(reinterpret_cast<const char*>(content.data()), content.size() * sizeof(wchar_t));
  WriteBytes(path, bytes);
}

std::wstring Cp932ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

std::wstring SystemText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                           code, LANG_USER_DEFAULT, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result(text != nullptr ? text : L"", n);
  if (text != nullptr) LocalFree(text);
  return result;
}

bool ShortSoak() {
  const char* soak = getenv("SARVIK_SOAK");
  return soak != nullptr && strcmp(soak, "short") == 0;
}

Usage MeasureUsage() {
  Usage usage = {0, 0};
  for (uintptr_t value = 4; value < (1u << 16); value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++usage.handles;
  }
  usage.privateBytes = PrivateBytes();
  return usage;
}

std::thread PressEscapeAfter(DWORD milliseconds) {
  return std::thread([milliseconds] {
    Sleep(milliseconds);
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
  });
}

void ForgetEscape() {
  GetAsyncKeyState(VK_ESCAPE);
}

void PluginTest::SetUp() {
  folder = MakeTempDirectory();
}

void PluginTest::TearDown() {
  host.reset();
  RemoveTree(folder);
}

void PluginTest::WriteConfig(const std::map<std::wstring, std::wstring>& ini) {
  std::wstring content = L"[Config]\r\n";
  for (const auto& [key, value] : ini) content += key + L"=" + value + L"\r\n";
  WriteIni(folder + L"sarvik.ini", content);
}

void PluginTest::Load(const std::map<std::wstring, std::wstring>& ini, bool hostObject,
                      const std::wstring& dllName) {
  std::wstring dll = folder + dllName;
  ASSERT_TRUE(CopyFileW((ProgramDirectory() + L"sarvik.dll").c_str(), dll.c_str(), FALSE));
  if (!ini.empty()) WriteConfig(ini);
  host = std::make_unique<TestHost>(hostObject);
  ASSERT_TRUE(host->Load(dll));
}

HANDLE PluginTest::Open(const std::wstring& argument) {
  BYTE hostRecord[kHostRecordSize] = {};
  memset(&openResult, 0xcc, sizeof(openResult));
  HANDLE handle = api().open(argument.c_str(), hostRecord, &openResult);
  EXPECT_NE(handle, nullptr) << ToUtf8(argument);
  return handle;
}

Listed PluginTest::List(HANDLE handle) {
  Listed listed;
  FindRecord record;
  memset(&record, 0xcc, sizeof(record));
  for (listed.last = api().findFirst(handle, nullptr, &record); listed.last == 1;
       listed.last = api().findNext(handle, &record)) {
    listed.records.push_back(record);
    listed.names.push_back(record.name);
    memset(&record, 0xcc, sizeof(record));
  }
  return listed;
}

HANDLE PluginTest::OpenChild(const std::wstring& script, bool messageOutput) {
  if (host == nullptr) Load();
  WriteConfig({{L"GrepCommand", ChildCommand()}, {L"MessageOutput", messageOutput ? L"1" : L"0"}});
  return Open(L"\"" + folder.substr(0, folder.size() - 1) + L"\" " + script);
}

namespace {

// The child role of ModuleLifecycle's exit test: loads the DLL with a host object, unloads it
// first when asked, then ends the process; a file "released" appears when the object is released.
int HoldHostObjectThenExit(const std::wstring& folder, bool unloadFirst) {
  auto* host = new TestHost();  // never destroyed: the process ends holding it
  host->onObjectGone = [folder] {
    CloseHandle(CreateFileW((folder + L"released").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
  };
  if (!host->Load(folder + L"sarvik.dll")) return 2;
  if (unloadFirst) host->Unload();
  ExitProcess(0);
}

TestHost* g_unloadingHost = nullptr;
HANDLE g_unloadingHandle = nullptr;

LRESULT CALLBACK CloseAndUnloadProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP && g_unloadingHost != nullptr) {
    g_unloadingHost->api().close(g_unloadingHandle);
    g_unloadingHost->Unload();
    g_unloadingHost = nullptr;
  }
  return DefWindowProcW(window, message, w, l);
}

int CloseAndUnloadInAMessage(const std::wstring& folder) {
  TestHost host;
  if (!host.Load(folder + L"sarvik.dll")) return 2;
  BYTE hostRecord[kHostRecordSize] = {};
  OpenResultRecord result;
  HANDLE handle =
      host.api().open((L"\"" + folder + L"\" out:a.txt:1:x\\r\\n hang").c_str(), hostRecord,
                      &result);
  FindRecord record;
  if (handle == nullptr || host.api().findFirst(handle, nullptr, &record) != 1) return 3;
  auto findNext = host.api().findNext;  // the host's table of entry points goes with the unload
  HWND window = MakeMessageWindow(L"sarvik-test-unloading-host", CloseAndUnloadProc);
  g_unloadingHost = &host;
  g_unloadingHandle = handle;
  PostMessageW(window, WM_APP, 0, 0);
  int last = findNext(handle, &record);
  DestroyWindow(window);
  return g_unloadingHost == nullptr && last == -1 ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], kCloseAndUnloadRole) == 0) {
    std::string folder = argv[2];
    return CloseAndUnloadInAMessage(std::wstring(folder.begin(), folder.end()));
  }
  if (argc == 4 && strcmp(argv[1], kHoldHostObjectRole) == 0) {
    std::string folder = argv[3];
    return HoldHostObjectThenExit(std::wstring(folder.begin(), folder.end()),
                                  strcmp(argv[2], "unload") == 0);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
