// sarvik-bench: how close listing through the plugin comes to what the pipe allows, its memory
// for a long listing, and how soon the first entry is there. Runs under Wine or on Windows, from
// the build folder (it needs sarvik.dll and sarvik-child.exe beside it).
//
//   sarvik-bench throughput LINES [PER_FILE]
//                                    plugin (message output off, on) against a bare reader;
//                                    PER_FILE consecutive lines name one file (default 1)
//   sarvik-bench pace LINES BURST GAP_MS
//                                    the same output written steadily, then BURST lines at a
//                                    time GAP_MS apart: the plugin against a reader that never
//                                    sleeps, and the reader's sleeps counted through its seam
//   sarvik-bench pumping LINES [DLL] the longest the host's messages wait while LINES lines are
//                                    listed from a writer that keeps the pipe full (by a 10 ms
//                                    timer's ticks); DLL: another sarvik.dll to measure
//   sarvik-bench memory LINES        peak private bytes while listing LINES lines
//   sarvik-bench latency RUNS        child's first output to ApiFindFirst returning
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "search/platform_win32.h"
#include "testkit/mixed_output.h"
#include "testkit/testhost.h"
#include "testkit/unique_handle.h"

namespace {

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Workspace {
  std::wstring folder;
  std::wstring output;  // the file the child writes out
  std::wstring childCommand;
};

void WriteWholeFile(const std::wstring& path, const void* data, size_t size) {
  UniqueHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr);
}

// The files the output names exist, as they would after a real search.
void CreateNamedFiles(const std::wstring& folder) {
  CreateDirectoryW((folder + L"src").c_str(), nullptr);
  for (int i = 0; i < 97; ++i)
    WriteWholeFile(folder + L"src\\file" + std::to_wstring(i) + L".c", "", 0);
  for (int i = 0; i < 13; ++i)
    WriteWholeFile(folder + L"\u30c7\u30fc\u30bf" + std::to_wstring(i) + L".txt", "", 0);
}

Workspace Prepare(int lines, int perFile = 1) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  Workspace w;
  w.folder = std::wstring(temp) + L"sarvik-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
  CreateDirectoryW(w.folder.c_str(), nullptr);
  CopyFileW((ProgramDirectory() + L"sarvik.dll").c_str(), (w.folder + L"sarvik.dll").c_str(),
            FALSE);
  w.output = w.folder + L"output.txt";
  CreateNamedFiles(w.folder);
  std::string bytes = MixedOutput(lines, nullptr, perFile);
  WriteWholeFile(w.output, bytes.data(), bytes.size());
  w.childCommand = L"\"" + ProgramDirectory() + L"sarvik-child.exe" + L"\"";
  return w;
}

void Cleanup(const Workspace& w) {
  for (int i = 0; i < 97; ++i)
    DeleteFileW((w.folder + L"src\\file" + std::to_wstring(i) + L".c").c_str());
  for (int i = 0; i < 13; ++i)
    DeleteFileW((w.folder + L"\u30c7\u30fc\u30bf" + std::to_wstring(i) + L".txt").c_str());
  RemoveDirectoryW((w.folder + L"src").c_str());
  DeleteFileW(w.output.c_str());
  DeleteFileW((w.folder + L"sarvik.ini").c_str());
  DeleteFileW((w.folder + L"sarvik.dll").c_str());
  RemoveDirectoryW(w.folder.c_str());
}

void WriteIni(const Workspace& w, bool messageOutput) {
  std::wstring text = L"\xfeff[Config]\r\nGrepCommand=" + w.childCommand + L"\r\nMessageOutput=" +
                      (messageOutput ? L"1" : L"0") + L"\r\n";
  WriteWholeFile(w.folder + L"sarvik.ini", text.data(), text.size() * sizeof(wchar_t));
}

// The limit the design allows: the same child started the same way, and the same pipe calls
// (a peek, a 100 ms pause while it is empty, reads of at most 256 bytes), nothing else. With
// `neverSleep`, only the reads, each waiting for the child: no wait could be shorter.
long BareReader(const Workspace& w, double* seconds, const std::wstring& script,
                bool neverSleep = false) {
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  UniqueHandle readEnd, writeEnd, inRead, inWrite;
  CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0);
  CreatePipe(inRead.put(), inWrite.put(), &inherit, 0);
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(inWrite.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.hStdInput = inRead.get();
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = writeEnd.get();
  PROCESS_INFORMATION child = {};
  std::wstring command = w.childCommand + L"  " + script;
  double start = Seconds();
  CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0x08000010, nullptr, nullptr,
                 &startup, &child);
  UniqueHandle process(child.hProcess);
  CloseHandle(child.hThread);
  writeEnd.reset();  // so that the pipe breaks when the child ends
  inRead.reset();
  long lines = 0;
  char buffer[257];
  for (;;) {
    DWORD available = 0;
    if (!neverSleep && PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) &&
        available == 0) {
      Sleep(100);
      continue;
    }
    DWORD got = 0;
    if (!ReadFile(readEnd.get(), buffer, 256, &got, nullptr)) break;
    lines += std::count(buffer, buffer + got, '\n');
  }
  *seconds = Seconds() - start;
  return lines;
}

// Lists the whole output through the plugin; samples private bytes every `sampleEvery` entries.
// With `peak`, also gives the private bytes just before ApiFindFirst (`start`) and the most seen
// while listing, sampled every `sampleEvery` entries.
long PluginListing(const Workspace& w, bool messageOutput, double* seconds,
                   const std::wstring& script, size_t* peak = nullptr, long sampleEvery = 0,
                   size_t* start = nullptr) {
  WriteIni(w, messageOutput);
  TestHost host;
  host.Load(w.folder + L"sarvik.dll");
  if (messageOutput) host.onCall = [&host](const HostCall&) { host.calls.clear(); };
  BYTE hostRecord[kHostRecordSize] = {};
  OpenResultRecord result;
  std::wstring argument = L"\"" + w.folder + L"\" " + script;
  HANDLE handle = host.api().open(argument.c_str(), hostRecord, &result);
  FindRecord record;
  long entries = 0;
  if (peak != nullptr) *peak = *start = PrivateBytes();
  double began = Seconds();
  for (int r = host.api().findFirst(handle, nullptr, &record); r == 1;
       r = host.api().findNext(handle, &record)) {
    ++entries;
    if (peak != nullptr && entries % sampleEvery == 0) *peak = std::max(*peak, PrivateBytes());
  }
  *seconds = Seconds() - began;
  if (peak != nullptr) *peak = std::max(*peak, PrivateBytes());
  host.api().close(handle);
  return entries;
}

// Best of five runs each, interleaved, so a busy moment of the machine hits all three alike.
int Throughput(int lines, int perFile) {
  Workspace w = Prepare(lines, perFile);
  double bare = 1e9, off = 1e9, on = 1e9;
  long bareLines = 0, offEntries = 0, onEntries = 0;
  for (int run = 0; run < 5; ++run) {
    double seconds = 0;
    bareLines = BareReader(w, &seconds, L"cat:" + w.output);
    bare = std::min(bare, seconds);
    offEntries = PluginListing(w, false, &seconds, L"cat:" + w.output);
    off = std::min(off, seconds);
    onEntries = PluginListing(w, true, &seconds, L"cat:" + w.output);
    on = std::min(on, seconds);
  }
  std::printf("lines %d, %d consecutive lines per file, best of 5\n", lines, perFile);
  std::printf("bare reader      %8ld lines    %7.3f s  %9.0f lines/s\n", bareLines, bare,
              bareLines / bare);
  std::printf("plugin, echo off %8ld entries  %7.3f s  %9.0f entries/s  %.3f of bare\n", offEntries,
              off, offEntries / off, (offEntries / off) / (bareLines / bare));
  std::printf("plugin, echo on  %8ld entries  %7.3f s  %9.0f entries/s  %.3f of bare\n", onEntries,
              on, onEntries / on, (onEntries / on) / (bareLines / bare));
  Cleanup(w);
  return offEntries == lines && onEntries == lines ? 0 : 1;
}

// The reader's sleeps, told apart by whether output was already waiting when one ended: those were
// slept while the child printed (or waited on a full pipe).
struct Sleeps {
  const SearchContext* context;
  long count = 0, pending = 0;
  double seconds = 0, pendingSeconds = 0;
};

void CountedSleep(void* user, uint32_t milliseconds) {
  auto* s = static_cast<Sleeps*>(user);
  double began = Seconds();
  Sleep(milliseconds);
  double slept = Seconds() - began;
  ++s->count;
  s->seconds += slept;
  DWORD available = 0;
  if (PeekNamedPipe(s->context->outputRead, nullptr, 0, nullptr, &available, nullptr) &&
      available > 0) {
    ++s->pending;
    s->pendingSeconds += slept;
  }
}

// The plugin's own reader, linked in, over the same child: entries, and its sleeps through the
// seam (the real calls ignore the user pointer, so it can carry the count).
long CountedListing(const Workspace& w, const std::wstring& script, Sleeps* sleeps) {
  auto context = std::make_unique<SearchContext>();
  memset(context.get(), 0, sizeof(SearchContext));
  context->encoding = Cp932Encoding();
  std::wstring command = w.childCommand + L"  " + script;
  wcsncpy(context->commandLine, command.c_str(), kCommandLineLength);
  if (!StartSearchProcess(context->commandLine, *context, Win32Launch())) return -1;
  sleeps->context = context.get();
  ReaderPlatform reader = Win32Reader();
  reader.user = sleeps;
  reader.sleep = CountedSleep;
  FindRecord record;
  long entries = 0;
  if (FillOutputBuffer(*context, reader) == Waited::kOutput)
    while (TakeNextLine(*context, &record, reader) == Taken::kEntry) ++entries;
  CloseSearchHandles(*context);
  return entries;
}

// Best of three, interleaved: listing time through the plugin against a reader that never sleeps,
// for a child that writes steadily and for one that writes in bursts; then the reader's sleeps.
int Pace(int lines, int burst, int gap) {
  Workspace w = Prepare(lines, 16);
  struct Writer {
    const char* name;
    std::wstring script;
  } writers[] = {
      {"steady", L"cat:" + w.output},
      {"bursts",
       L"bursts:" + std::to_wstring(burst) + L":" + std::to_wstring(gap) + L":" + w.output},
  };
  int failed = 0;
  for (const Writer& writer : writers) {
    double bare = 1e9, plugin = 1e9, seconds = 0;
    long bareLines = 0, entries = 0;
    Sleeps fewest;
    fewest.pendingSeconds = 1e9;
    for (int run = 0; run < 3; ++run) {
      bareLines = BareReader(w, &seconds, writer.script, /*neverSleep=*/true);
      bare = std::min(bare, seconds);
      entries = PluginListing(w, false, &seconds, writer.script);
      plugin = std::min(plugin, seconds);
      Sleeps sleeps;
      if (CountedListing(w, writer.script, &sleeps) != lines) ++failed;
      if (sleeps.pendingSeconds < fewest.pendingSeconds) fewest = sleeps;
    }
    if (writer.script[0] == L'b')
      std::printf("%d lines in bursts of %d lines, %d ms apart, best of 3\n", lines, burst, gap);
    else
      std::printf("%d lines written steadily, best of 3\n", lines);
    std::printf("never sleeping     %8ld lines    %7.3f s\n", bareLines, bare);
    std::printf("plugin, echo off   %8ld entries  %7.3f s  %.2f of the time never sleeping takes\n",
                entries, plugin, bare / plugin);
    std::printf("reader's sleeps    %8ld, %.3f s; ended with output waiting: %ld, %.3f s\n\n",
                fewest.count, fewest.seconds, fewest.pending, fewest.pendingSeconds);
    if (entries != lines) ++failed;
  }
  Cleanup(w);
  return failed == 0 ? 0 : 1;
}

// The host's timer ticks only when the plugin pumps: the longest gap between ticks is the longest
// the host's window went unanswered (to within the timer's own 10 ms).
std::vector<DWORD>* g_ticks = nullptr;
LRESULT CALLBACK TickingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_TIMER && g_ticks != nullptr) g_ticks->push_back(GetTickCount());
  return DefWindowProcW(window, message, w, l);
}

int Pumping(int lines, const wchar_t* dll) {
  Workspace w = Prepare(lines, 16);
  if (dll != nullptr) CopyFileW(dll, (w.folder + L"sarvik.dll").c_str(), FALSE);
  HWND window = MakeMessageWindow(L"sarvik-bench-ticks", TickingProc);
  std::vector<DWORD> ticks;
  g_ticks = &ticks;
  SetTimer(window, 1, 10, nullptr);
  DWORD started = GetTickCount();
  double seconds = 0;
  long entries = PluginListing(w, false, &seconds, L"cat:" + w.output);
  DWORD ended = GetTickCount();
  KillTimer(window, 1);
  g_ticks = nullptr;
  DestroyWindow(window);
  DWORD longest = ticks.empty() ? ended - started : ticks.front() - started;
  for (size_t i = 1; i < ticks.size(); ++i) longest = std::max(longest, ticks[i] - ticks[i - 1]);
  if (!ticks.empty()) longest = std::max(longest, ended - ticks.back());
  std::printf(
      "%ld entries in %.3f s; the host's 10 ms timer ticked %zu times, longest between "
      "ticks %lu ms\n",
      entries, seconds, ticks.size(), static_cast<unsigned long>(longest));
  Cleanup(w);
  return entries == lines ? 0 : 1;
}

int Memory(int lines) {
  Workspace w = Prepare(lines);
  double seconds = 0;
  size_t peak = 0, start = 0;
  long entries = PluginListing(w, false, &seconds, L"cat:" + w.output, &peak,
                               lines >= 100000 ? 10000 : 100, &start);
  std::printf(
      "lines %7d: %7ld entries, private bytes at ApiFindFirst %zu, peak while listing %zu "
      "(+%zu)\n",
      lines, entries, start, peak, peak - start);
  Cleanup(w);
  return entries == lines ? 0 : 1;
}

int Latency(int runs) {
  Workspace w = Prepare(0);
  WriteIni(w, false);
  TestHost host;
  host.Load(w.folder + L"sarvik.dll");
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> delays;
  for (int i = 0; i < runs; ++i) {
    BYTE hostRecord[kHostRecordSize] = {};
    OpenResultRecord result;
    // Vary the child's pause so its first write falls anywhere in the 100 ms poll.
    std::wstring argument =
        L"\"" + w.folder + L"\" sleep:" + std::to_wstring(37 * i % 100) + L" stamp";
    HANDLE handle = host.api().open(argument.c_str(), hostRecord, &result);
    FindRecord record;
    int r = host.api().findFirst(handle, nullptr, &record);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::wstring name = record.name;
    if (r == 1 && name.rfind(L"stamp.txt:", 0) == 0) {
      long long written = _wtoi64(name.c_str() + 10);
      delays.push_back(1000.0 * static_cast<double>(now.QuadPart - written) /
                       static_cast<double>(frequency.QuadPart));
    }
    host.api().close(handle);
  }
  std::sort(delays.begin(), delays.end());
  if (delays.empty()) return 1;
  std::printf(
      "first output to ApiFindFirst returning, %zu runs: min %.1f ms, median %.1f ms, "
      "max %.1f ms\n",
      delays.size(), delays.front(), delays[delays.size() / 2], delays.back());
  Cleanup(w);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf(
        "usage: sarvik-bench throughput LINES [PER_FILE] | pace LINES BURST GAP_MS | "
        "pumping LINES [DLL] | "
        "memory LINES | latency RUNS\n");
    return 2;
  }
  std::wstring what = argv[1];
  int count = _wtoi(argv[2]);
  if (what == L"throughput") return Throughput(count, argc > 3 ? _wtoi(argv[3]) : 1);
  if (what == L"pace" && argc > 4) return Pace(count, _wtoi(argv[3]), _wtoi(argv[4]));
  if (what == L"pumping") return Pumping(count, argc > 3 ? argv[3] : nullptr);
  if (what == L"memory") return Memory(count);
  if (what == L"latency") return Latency(count);
  return 2;
}
