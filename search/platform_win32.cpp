#include "search/platform_win32.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <initializer_list>
#include <iterator>

#include "common/fixed_text.h"
#include "host/bridge.h"
#include "search/program.h"

namespace {

bool Peek(void*, void* pipe, uint32_t* available) {
  DWORD bytes = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &bytes, nullptr)) return false;
  *available = bytes;
  return true;
}

bool Read(void*, void* pipe, char* into, uint32_t capacity, uint32_t* got) {
  DWORD bytes = 0;
  if (!ReadFile(pipe, into, capacity, &bytes, nullptr)) return false;
  *got = bytes;
  return true;
}

void Close(void*, void* handle) {
  CloseHandle(handle);
}

uint8_t EscapeState(void*) {
  SHORT state = GetAsyncKeyState(VK_ESCAPE);
  return ((state & 0x8000) != 0 ? kEscapeDown : 0) | ((state & 1) != 0 ? kEscapePressedSince : 0);
}

// A quit request taken from the queue during a listing call, held until the call returns: left
// in the queue it would end every wait at once, and the waits would spin.
bool g_quitHeld = false;
int g_quitCode = 0;

int64_t Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

void PumpMessages(void*, uint32_t milliseconds) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  const int64_t until = Ticks() + frequency.QuadPart * milliseconds / 1000;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Dispatching a quit request would lose it, and the host could not close after the search.
      g_quitHeld = true;
      g_quitCode = static_cast<int>(message.wParam);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (Ticks() >= until) return;
  }
}

// A message that comes meanwhile ends the wait: the host's window answers at once, not after it.
void Pause(void*, uint32_t milliseconds) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

uint32_t Now(void*) {
  return GetTickCount();
}

void Terminate(void*, void* process, void* job) {
  EndSearch(process, job);
}

// Any code page but 932, by the system's conversion; bytes that are no character stand as U+FFFD.
Decoded SystemToWide(uint32_t codePage, wchar_t* out, size_t capacity, const char* text) {
  int size = static_cast<int>(capacity);
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, -1, out, size) > 0)
    return Decoded::kValid;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER &&
      MultiByteToWideChar(codePage, 0, text, -1, out, size) > 0)
    return Decoded::kReplaced;
  out[0] = 0;
  return Decoded::kTooLong;
}

void Print(void*, uint32_t codePage, const char* text) {
  if (codePage == kCp932) {
    HostPrintAnsi(text);
    return;
  }
  // The texts are lines of the 512-byte buffer: never more characters than that.
  wchar_t wide[kOutputBufferLength + 1];
  SystemToWide(codePage, wide, std::size(wide), text);
  HostPrint(wide);
}

// Code page 932 by the runtime under the Japanese locale, as sarvik's own texts are converted.
Decoded ToWide(void*, uint32_t codePage, wchar_t* out, size_t capacity, const char* text) {
  if (codePage == kCp932) return Cp932ToWide(out, capacity, text);
  return SystemToWide(codePage, out, capacity, text);
}

bool LookUp(void*, const wchar_t* path, FileFacts* facts) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
  *facts = {data.nFileSizeLow, data.nFileSizeHigh, data.ftLastWriteTime.dwLowDateTime,
            data.ftLastWriteTime.dwHighDateTime, data.dwFileAttributes};
  return true;
}

const ReaderPlatform kReader = {
    .user = nullptr,
    .peek = Peek,
    .read = Read,
    .closePipe = Close,
    .escapeState = EscapeState,
    .pumpMessages = PumpMessages,
    .sleep = Pause,
    .now = Now,
    .terminate = Terminate,
    .print = Print,
    .toWide = ToWide,
    .lookUp = LookUp,
};

bool CreateInheritablePipe(void*, void** readEnd, void** writeEnd) {
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE r = nullptr, w = nullptr;
  if (!CreatePipe(&r, &w, &inheritable, 0)) return false;
  *readEnd = r;
  *writeEnd = w;
  return true;
}

bool Duplicate(void*, void* handle, bool inheritable, void** copy) {
  HANDLE self = GetCurrentProcess();
  HANDLE result = nullptr;
  if (!DuplicateHandle(self, handle, self, &result, 0, inheritable ? TRUE : FALSE,
                       DUPLICATE_SAME_ACCESS))
    return false;
  *copy = result;
  return true;
}

bool CreateKillingJob(void*, void** job) {
  HANDLE made = CreateJobObjectW(nullptr, nullptr);  // not inheritable
  if (made == nullptr) return false;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                               sizeof(limits))) {
    CloseHandle(made);
    return false;
  }
  *job = made;
  return true;
}

bool ListHandles(void*, void* const (&handles)[3], void** list) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  // Freed by FreeList, with the handles' array it points to kept beside it.
  auto* block = static_cast<BYTE*>(malloc(sizeof(handles) + size));
  if (block == nullptr) return false;
  memcpy(block, handles, sizeof(handles));
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(block + sizeof(handles));
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
    free(block);
    return false;
  }
  if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, block,
                                 sizeof(handles), nullptr, nullptr)) {
    DeleteProcThreadAttributeList(attributes);
    free(block);
    return false;
  }
  *list = block;
  return true;
}

LPPROC_THREAD_ATTRIBUTE_LIST Attributes(void* list) {
  return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(static_cast<BYTE*>(list) +
                                                         3 * sizeof(HANDLE));
}

void FreeList(void*, void* list) {
  DeleteProcThreadAttributeList(Attributes(list));
  free(list);
}

bool IsFile(void*, const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The first word's program, looked up in the host's folder, the system's, the Windows folder and
// the PATH, never in the current directory.
ProgramLookup LookUpProgram(const wchar_t* commandLine, wchar_t (&program)[kPathCapacity]) {
  wchar_t host[kPathCapacity], system[kPathCapacity], windows[kPathCapacity];
  DWORD n = GetModuleFileNameW(nullptr, host, kPathCapacity);
  if (n == 0 || n >= kPathCapacity) n = 0;
  host[n] = 0;
  wchar_t* slash = wcsrchr(host, L'\\');
  if (slash != nullptr) slash[1] = 0;
  n = GetSystemDirectoryW(system, kPathCapacity);
  if (n == 0 || n >= kPathCapacity) system[0] = 0;
  n = GetWindowsDirectoryW(windows, kPathCapacity);
  if (n == 0 || n >= kPathCapacity) windows[0] = 0;
  DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  auto* path = static_cast<wchar_t*>(calloc(size + 1, sizeof(wchar_t)));
  if (path == nullptr) return ProgramLookup::kMissing;
  if (GetEnvironmentVariableW(L"PATH", path, size + 1) > size) path[0] = 0;
  const ProgramPlaces places = {
      .user = nullptr,
      .hostFolder = host,
      .systemFolder = system,
      .windowsFolder = windows,
      .path = path,
      .isFile = IsFile,
  };
  ProgramLookup lookup = FindProgram(commandLine, places, program);
  free(path);
  return lookup;
}

bool Start(void*, wchar_t* commandLine, void* input, void* output, void* error, void* list,
           void** process, void** thread) {
  wchar_t program[kPathCapacity];
  ProgramLookup lookup = LookUpProgram(commandLine, program);
  if (lookup == ProgramLookup::kMissing) {
    SetLastError(ERROR_FILE_NOT_FOUND);  // as the system says of a program it cannot find
    return false;
  }
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.StartupInfo.hStdInput = input;
  startup.StartupInfo.hStdOutput = output;
  startup.StartupInfo.hStdError = error;
  const wchar_t* application = lookup == ProgramLookup::kFound ? program : nullptr;
  DWORD flags = CREATE_NO_WINDOW | CREATE_NEW_CONSOLE | CREATE_SUSPENDED;
  PROCESS_INFORMATION started = {};
  bool ok = false;
  if (list != nullptr) {
    startup.lpAttributeList = Attributes(list);
    ok = CreateProcessW(application, commandLine, nullptr, nullptr, TRUE,
                        flags | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                        &startup.StartupInfo, &started);
  }
  // A system that refuses the list starts the search as before: with every inheritable handle.
  if (!ok && (list == nullptr || GetLastError() == ERROR_INVALID_PARAMETER)) {
    startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    startup.lpAttributeList = nullptr;
    ok = CreateProcessW(application, commandLine, nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                        &startup.StartupInfo, &started);
  }
  if (!ok) return false;
  *process = started.hProcess;
  *thread = started.hThread;
  return true;
}

bool Assign(void*, void* job, void* process) {
  return AssignProcessToJobObject(job, process) != FALSE;
}

bool Resume(void*, void* process, void* thread) {
  if (ResumeThread(thread) != static_cast<DWORD>(-1)) return true;
  DWORD code = GetLastError();
  TerminateProcess(process, 0);
  SetLastError(code);
  return false;
}

// The system's reason, then the command line that was tried, so that a typo, a program that is
// not on the PATH or a quote that the settings file took away can be seen.
void ReportStartFailure(void*, const wchar_t* commandLine) {
  ReportLaunchError();
  HostPrint(commandLine);
}

const LaunchPlatform kLaunch = {
    .user = nullptr,
    .createPipe = CreateInheritablePipe,
    .duplicate = Duplicate,
    .close = Close,
    .createJob = CreateKillingJob,
    .listHandles = ListHandles,
    .freeList = FreeList,
    .start = Start,
    .assign = Assign,
    .resume = Resume,
    .reportStartFailure = ReportStartFailure,
};

}  // namespace

const ReaderPlatform& Win32Reader() {
  return kReader;
}
const LaunchPlatform& Win32Launch() {
  return kLaunch;
}

bool DescribeCodePage(uint32_t codePage, OutputEncoding& encoding) {
  if (codePage == kCp932) {
    encoding = Cp932Encoding();
    return true;
  }
  if (codePage == kUtf8CodePage) {
    encoding = Utf8Encoding();
    return true;
  }
  CPINFO info;
  if (!IsValidCodePage(codePage) || !GetCPInfo(codePage, &info)) return false;
  encoding = {codePage, ByteStructure::kSingleByte, {}};
  if (info.MaxCharSize == 1) return true;
  if (info.MaxCharSize != 2) return false;  // a character of more bytes, or a stateful encoding
  encoding.structure = ByteStructure::kDoubleByte;
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
    AddLeadBytes(encoding, info.LeadByte[i], info.LeadByte[i + 1]);
  return true;
}

void PostHeldQuit() {
  if (!g_quitHeld) return;
  g_quitHeld = false;
  PostQuitMessage(g_quitCode);
}

void EndSearch(void* process, void* job) {
  if (job != nullptr && TerminateJobObject(job, 0)) return;
  if (process != nullptr) TerminateProcess(process, 0);
}

void CloseSearchHandles(SearchContext& context) {
  // Whatever the search started goes with it.
  EndSearch(nullptr, context.job);
  for (void** handle :
       {&context.inputWrite, &context.outputRead, &context.process, &context.job}) {
    if (*handle != nullptr) CloseHandle(*handle);
    *handle = nullptr;
  }
}
