#include "search/platform_win32.h"

#include <windows.h>

#include <cstdlib>
#include <initializer_list>

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

bool EscapePressed(void*) {
  return GetAsyncKeyState(VK_ESCAPE) != 0;
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

void Pause(void*, uint32_t milliseconds) {
  Sleep(milliseconds);
}

void Terminate(void*, void* process) {
  TerminateProcess(process, 0);
}

void PrintAnsi(void*, const char* text) {
  HostPrintAnsi(text);
}

// mbstowcs under the Japanese locale; bytes that are not code page 932 become '?', one each, so
// an invalid name still comes out whole and terminated.
void ToWide(void*, wchar_t* out, size_t capacity, const char* text) {
  size_t n = mbstowcs(out, text, capacity - 1);
  if (n != static_cast<size_t>(-1)) {
    out[n] = 0;
    return;
  }
  n = 0;
  mbtowc(nullptr, nullptr, 0);
  while (*text != 0 && n + 1 < capacity) {
    wchar_t c = 0;
    int used = mbtowc(&c, text, MB_CUR_MAX);
    if (used <= 0) {
      c = L'?';
      used = 1;
    }
    out[n++] = c;
    text += used;
  }
  out[n] = 0;
}

const ReaderPlatform kReader = {nullptr,      Peek,  Read,      Close,     EscapePressed,
                                PumpMessages, Pause, Terminate, PrintAnsi, ToWide};

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

void ReportStartFailure(void*) {
  ReportLaunchError();
}

const LaunchPlatform kLaunch = {nullptr, CreateInheritablePipe, Duplicate, Close,
                                Start,   ReportStartFailure};

}  // namespace

const ReaderPlatform& Win32Reader() {
  return kReader;
}
const LaunchPlatform& Win32Launch() {
  return kLaunch;
}

void CloseSearchHandles(SearchContext& context) {
  for (void** handle : {&context.inputWrite, &context.outputRead, &context.process}) {
    if (*handle != nullptr) CloseHandle(*handle);
    *handle = nullptr;
  }
}
