#include "search/platform_win32.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <initializer_list>
#include <iterator>

#include "common/fixed_text.h"
#include "host/bridge.h"

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

void PumpMessages(void*) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Dispatching a quit request would lose it, and the host could not close after the search.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// A message that comes meanwhile ends the wait: the host's window answers at once, not after it.
void Pause(void*, uint32_t milliseconds) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
}

uint32_t Now(void*) {
  return GetTickCount();
}

void Terminate(void*, void* process) {
  TerminateProcess(process, 0);
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

bool Start(void*, wchar_t* commandLine, void* input, void* output, void* error, void** process,
           void** thread) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &started))
    return false;
  *process = started.hProcess;
  *thread = started.hThread;
  return true;
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
    .start = Start,
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

void CloseSearchHandles(SearchContext& context) {
  for (void** handle : {&context.inputWrite, &context.outputRead, &context.process}) {
    if (*handle != nullptr) CloseHandle(*handle);
    *handle = nullptr;
  }
}
