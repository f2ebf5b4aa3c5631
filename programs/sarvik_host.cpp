// sarvik-host: try a plugin and its sarvik.ini outside the file manager. It plays the host: serves
// the automation object, loads the DLL and calls its entry points by name.
//
//   sarvik-host [--dll PATH] info
//   sarvik-host [--dll PATH] open ARGUMENT
//   sarvik-host [--dll PATH] list ARGUMENT [--execute N | --execute2 N]
//   sarvik-host [--dll PATH] execute ARGUMENT ENTRY     (also execute2, copy)
//
// ARGUMENT is what the user gives the plugin: a directory in double quotes, then search words.
// The search runs in the current directory, as it would in the file manager's.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testkit/testhost.h"

namespace {

void Line(const std::wstring& text) {
  WriteOut(text + L"\n");
}

std::wstring Hex(unsigned value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08X", value);
  return text;
}

std::wstring TimeText(uint32_t low, uint32_t high) {
  if (low == 0 && high == 0) return L"-";
  FILETIME time = {low, high};
  SYSTEMTIME utc;
  if (!FileTimeToSystemTime(&time, &utc)) return L"?";
  wchar_t text[32];
  swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u UTC", utc.wYear, utc.wMonth, utc.wDay,
           utc.wHour, utc.wMinute, utc.wSecond);
  return text;
}

std::wstring Field(const wchar_t* field, size_t capacity) {
  size_t n = 0;
  while (n < capacity && field[n] != 0) ++n;
  return std::wstring(field, n);
}

void ShowMessages(const TestHost& host) {
  Line(L"message area:");
  for (const HostCall& call : host.calls) {
    if (call.method == L"MesPrint") Line(L"  | " + call.text);
    if (call.method == L"Exec") Line(L"  Exec: " + call.text);
  }
  Line(std::wstring(L"MesOk: ") + (host.Count(L"MesOk") > 0 ? L"called" : L"not called"));
}

int Info(TestHost& host, const std::wstring& dll) {
  PluginInfoRecord info = {};
  host.api().getPluginInfo(&info);
  Line(L"plugin:   " + Field(info.name, 64));
  Line(L"author:   " + Field(info.author, 32));
  wchar_t version[32];
  swprintf(version, 32, L"%u.%u.%u.%u (0x%08X)", info.version >> 24, (info.version >> 16) & 255,
           (info.version >> 8) & 255, info.version & 255, info.version);
  Line(std::wstring(L"version:  ") + version);
  Line(L"version resource (041104b0):");
  for (const wchar_t* name :
       {L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright", L"OriginalFilename",
        L"ProductName", L"ProductVersion"})
    Line(std::wstring(L"  ") + name + L" = " + VersionString(dll, name));
  ShowMessages(host);
  return 0;
}

HANDLE Open(TestHost& host, const std::wstring& argument, OpenResultRecord& result) {
  BYTE hostRecord[kHostRecordSize] = {};
  memset(&result, 0, sizeof(result));
  HANDLE handle = host.api().open(argument.c_str(), hostRecord, &result);
  if (handle == nullptr) {
    Line(L"ApiOpen refused the argument");
    return nullptr;
  }
  // The context is opaque to a real host; this tool knows its layout and shows what matters.
  const auto* context = static_cast<const SearchContext*>(handle);
  Line(L"command line:   " + std::wstring(context->commandLine));
  Line(L"base directory: " + std::wstring(context->baseDirectory));
  Line(L"settings file:  " + std::wstring(context->configPath));
  Line(std::wstring(L"message output: ") + (context->messageOutput ? L"on" : L"off"));
  Line(L"output code page: " + std::to_wstring(context->encoding.codePage));
  Line(L"open result:    directory \"" + Field(result.directory, kPathCapacity) + L"\", root \"" +
       Field(result.root, kPathCapacity) + L"\", title \"" + Field(result.title, 8) + L"\"");
  return handle;
}

int OpenOnly(TestHost& host, const std::wstring& argument) {
  OpenResultRecord result;
  HANDLE handle = Open(host, argument, result);
  if (handle != nullptr) Line(L"ApiClose: " + std::to_wstring(host.api().close(handle)));
  ShowMessages(host);
  return handle != nullptr ? 0 : 1;
}

int Execute(TestHost& host, HANDLE handle, const std::wstring& name, bool shifted) {
  std::wstring entryPath = L"/" + name;
  int result = (shifted ? host.api().execute2 : host.api().execute)(handle, entryPath.c_str());
  Line(std::wstring(shifted ? L"ApiExecute2(" : L"ApiExecute(") + entryPath + L") = " +
       std::to_wstring(result));
  return result == 1 ? 0 : 1;
}

int List(TestHost& host, const std::wstring& argument, int executeIndex, bool shifted) {
  OpenResultRecord result;
  HANDLE handle = Open(host, argument, result);
  if (handle == nullptr) {
    ShowMessages(host);
    return 1;
  }
  std::vector<std::wstring> names;
  FindRecord record = {};
  int r = host.api().findFirst(handle, nullptr, &record);
  Line(L"entries:");
  for (; r == 1; r = host.api().findNext(handle, &record)) {
    uint64_t size = (static_cast<uint64_t>(record.sizeHigh) << 32) | record.sizeLow;
    names.push_back(Field(record.name, kPathCapacity));
    wchar_t row[64];
    swprintf(row, 64, L"%10llu  ", static_cast<unsigned long long>(size));
    Line(L"  " + std::to_wstring(names.size()) + L". " + names.back() + L"\n      size " + row +
         L"written " + TimeText(record.writeTimeLow, record.writeTimeHigh) + L"  attributes " +
         Hex(record.attributes));
  }
  Line(L"listing ended with " + std::to_wstring(r) + L" after " + std::to_wstring(names.size()) +
       L" entries");
  int status = r == 0 ? 1 : 0;
  if (executeIndex > 0) {
    if (executeIndex <= static_cast<int>(names.size()))
      status = Execute(host, handle, names[static_cast<size_t>(executeIndex - 1)], shifted);
    else
      Line(L"no entry " + std::to_wstring(executeIndex) + L" to execute"), status = 1;
  }
  host.api().close(handle);
  ShowMessages(host);
  return status;
}

int Usage() {
  Line(
      L"usage: sarvik-host [--dll PATH] info | open ARGUMENT | list ARGUMENT [--execute N]\n"
      L"       | execute ARGUMENT ENTRY | execute2 ARGUMENT ENTRY | copy ARGUMENT ENTRY");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::wstring dll = ProgramDirectory() + L"sarvik.dll";
  if (args.size() >= 2 && args[0] == L"--dll") {
    dll = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) return Usage();

  TestHost host;
  if (!host.Load(dll)) {
    Line(L"cannot load " + dll + L" with all sixteen entry points");
    return 1;
  }
  const std::wstring& command = args[0];
  if (command == L"info") return Info(host, dll);
  if (args.size() < 2) return Usage();
  if (command == L"open") return OpenOnly(host, args[1]);
  if (command == L"list") {
    int index = 0;
    bool shifted = false;
    if (args.size() >= 4 && (args[2] == L"--execute" || args[2] == L"--execute2")) {
      index = _wtoi(args[3].c_str());
      shifted = args[2] == L"--execute2";
    }
    return List(host, args[1], index, shifted);
  }
  if (args.size() < 3) return Usage();
  OpenResultRecord result;
  HANDLE handle = Open(host, args[1], result);
  if (handle == nullptr) return 1;
  int status = 0;
  if (command == L"copy") {
    wchar_t path[kPathCapacity] = {};
    int r = host.api().intCopyTo(handle, args[2].c_str(), nullptr, path, kPathCapacity, nullptr);
    Line(L"ApiIntCopyTo = " + std::to_wstring(r) + L": " + Field(path, kPathCapacity));
  } else if (command == L"execute" || command == L"execute2") {
    status = Execute(host, handle, args[2], command == L"execute2");
  } else {
    status = Usage();
  }
  host.api().close(handle);
  ShowMessages(host);
  return status;
}
