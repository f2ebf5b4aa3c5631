// sarvik-child: a scripted search program for the tests. Each argument is one step:
//   out:TEXT      write TEXT to standard output in one write (escapes: \r \n \t \0 \\ \xHH)
//   err:TEXT      the same to standard error
//   repeat:N:TEXT write TEXT N times, in writes of about 4 KB
//   bytes:N:HH    write N bytes of value HH, in writes of 64 KB
//   cat:PATH      write a file's content, in writes of 4 KB
//   bursts:N:MS:PATH  write a file's lines N at a time, one write each, pausing MS between, as a
//                 search prints one file's matches, then looks through the next files
//   sleep:MS      pause
//   stdin         read standard input until it ends
//   forever       write result lines without end
//   hang          never write, never end
//   crash         die of an access violation
//   exit:N        end with code N
//   stamp         write one result line whose line number is the performance counter now
//   args          write one result line, args.txt:1:, whose text is the child's own command line
//   pid           write one result line whose line number is the child's process id
//   touch:PATH    create the file PATH (empty): a mark that this program ran
//   set:HEX       signal the event whose handle value is HEX, if this process holds it
//   put:HEX       write a line into the pipe whose handle value is HEX, if this process holds it
#include <windows.h>

#include <string>

#include "testkit/unique_handle.h"

namespace {

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Escapes give any byte; other characters are taken as code page 932.
std::string Decode(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\\' && i + 1 < text.size()) {
      wchar_t e = text[++i];
      if (e == L'r')
        out += '\r';
      else if (e == L'n')
        out += '\n';
      else if (e == L't')
        out += '\t';
      else if (e == L'0')
        out += '\0';
      else if (e == L'x' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
        out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
        i += 2;
      } else
        out += static_cast<char>(e);
      continue;
    }
    char bytes[4];
    int n = WideCharToMultiByte(932, 0, &c, 1, bytes, sizeof(bytes), nullptr, nullptr);
    out.append(bytes, static_cast<size_t>(n > 0 ? n : 0));
  }
  return out;
}

void Write(HANDLE to, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(to, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr))
      ExitProcess(3);  // the reader has gone
    done += written;
  }
}

std::string ReadWholeFile(const wchar_t* path) {
  std::string text;
  UniqueHandle file(
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) ExitProcess(4);
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
    text.append(chunk, got);
  return text;
}

LONG WINAPI EndQuietly(EXCEPTION_POINTERS*) {
  return EXCEPTION_EXECUTE_HANDLER;
}

std::wstring After(const std::wstring& step, size_t prefix) {
  return step.substr(prefix);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  for (int i = 1; i < argc; ++i) {
    std::wstring step = argv[i];
    if (step.rfind(L"out:", 0) == 0) {
      Write(out, Decode(After(step, 4)));
    } else if (step.rfind(L"err:", 0) == 0) {
      Write(GetStdHandle(STD_ERROR_HANDLE), Decode(After(step, 4)));
    } else if (step.rfind(L"repeat:", 0) == 0) {
      size_t colon = step.find(L':', 7);
      long count = wcstol(step.c_str() + 7, nullptr, 10);
      std::string text = Decode(step.substr(colon + 1)), pending;
      for (long k = 0; k < count; ++k) {
        pending += text;
        if (pending.size() >= 4096) Write(out, pending), pending.clear();
      }
      Write(out, pending);
    } else if (step.rfind(L"bytes:", 0) == 0) {
      size_t colon = step.find(L':', 6);
      long count = wcstol(step.c_str() + 6, nullptr, 10);
      char value = static_cast<char>(wcstol(step.c_str() + colon + 1, nullptr, 16));
      for (long left = count; left > 0; left -= 65536)
        Write(out, std::string(static_cast<size_t>(left < 65536 ? left : 65536), value));
    } else if (step.rfind(L"cat:", 0) == 0) {
      std::string text = ReadWholeFile(step.c_str() + 4);
      for (size_t at = 0; at < text.size(); at += 4096) Write(out, text.substr(at, 4096));
    } else if (step.rfind(L"bursts:", 0) == 0) {
      wchar_t* end = nullptr;
      long lines = wcstol(step.c_str() + 7, &end, 10);
      long pause = wcstol(end + 1, &end, 10);
      std::string text = ReadWholeFile(end + 1), burst;
      long inBurst = 0;
      for (size_t at = 0; at < text.size();) {
        size_t lineFeed = text.find('\n', at);
        size_t next = lineFeed == std::string::npos ? text.size() : lineFeed + 1;
        burst.append(text, at, next - at);
        at = next;
        if (++inBurst == lines || at == text.size()) {
          Write(out, burst);
          burst.clear();
          inBurst = 0;
          if (at < text.size()) Sleep(static_cast<DWORD>(pause));
        }
      }
    } else if (step.rfind(L"sleep:", 0) == 0) {
      Sleep(static_cast<DWORD>(wcstol(step.c_str() + 6, nullptr, 10)));
    } else if (step == L"stdin") {
      char chunk[256];
      DWORD got = 0;
      while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof(chunk), &got, nullptr) &&
             got > 0) {
      }
    } else if (step == L"forever") {
      for (;;) Write(out, "endless.txt:1:again\r\n");
    } else if (step == L"hang") {
      Sleep(INFINITE);
    } else if (step == L"crash") {
      // No debugger, no dialog: just die, as on Windows without the error box. Wine would start
      // its debugger, which writes a register dump into the output pipe.
      SetErrorMode(SEM_NOGPFAULTERRORBOX);
      SetUnhandledExceptionFilter(EndQuietly);
      *static_cast<volatile int*>(nullptr) = 0;
    } else if (step == L"stamp") {
      LARGE_INTEGER now;
      QueryPerformanceCounter(&now);
      Write(out, "stamp.txt:" + std::to_string(now.QuadPart) + ":x\r\n");
    } else if (step == L"args") {
      wchar_t* commandLine = GetCommandLineW();
      std::string bytes(wcslen(commandLine) * 2 + 1, '\0');
      int n = WideCharToMultiByte(932, 0, commandLine, -1, &bytes[0],
                                  static_cast<int>(bytes.size()), nullptr, nullptr);
      bytes.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
      Write(out, "args.txt:1:" + bytes + "\r\n");
    } else if (step == L"pid") {
      Write(out, "pid.txt:" + std::to_string(GetCurrentProcessId()) + ":x\r\n");
    } else if (step.rfind(L"touch:", 0) == 0) {
      CloseHandle(CreateFileW(step.c_str() + 6, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                              nullptr));
    } else if (step.rfind(L"set:", 0) == 0) {
      SetEvent(reinterpret_cast<HANDLE>(wcstoull(step.c_str() + 4, nullptr, 16)));
    } else if (step.rfind(L"put:", 0) == 0) {
      DWORD written = 0;
      WriteFile(reinterpret_cast<HANDLE>(wcstoull(step.c_str() + 4, nullptr, 16)), "put\r\n", 5,
                &written, nullptr);
    } else if (step.rfind(L"exit:", 0) == 0) {
      ExitProcess(static_cast<UINT>(wcstol(step.c_str() + 5, nullptr, 10)));
    }
  }
  return 0;
}
