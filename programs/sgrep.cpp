// sgrep: a small stand-in for "findstr /N /I /P" (Wine's findstr prints nothing), so sarvik can be
// tried and tested with a real search. Usage:
//   sgrep [/N] [/I] [/P] [/S] [/UTF8] "word word..." pattern...
//   sgrep [/N] [/I] [/P] [/S] [/UTF8] /C:"a phrase" [/C:"another"] pattern...
// Prints name:line:text (name:text without /N) for every line holding any of the words, or any
// of the /C: phrases taken whole, as findstr does. The files are read as code page 932; the
// output is code page 932, as from findstr on a Japanese system, or UTF-8 with /UTF8, as from most
// of today's search tools. /S searches the patterns' subdirectories too. Like those tools, it
// prints one file's matches at a time, for a file holding a zero byte (without /P, which skips
// it) one notice line instead of its matches, and for a name or folder that does not exist an
// error on standard error, among the results.
#include <windows.h>

#include <string>
#include <vector>

#include "programs/sgrep_match.h"
#include "testkit/unique_handle.h"

namespace {

struct Options {
  bool numbers = false, ignoreCase = false, printableOnly = false, subdirectories = false;
  UINT output = 932;  // the code page printed
};

std::string ToCodePage(UINT codePage, const std::wstring& text) {
  if (text.empty()) return std::string();
  int bytes = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                  0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], bytes,
                      nullptr, nullptr);
  return out;
}

std::string ToCp932(const std::wstring& text) {
  return ToCodePage(932, text);
}

// A line of a file (code page 932) in the code page printed.
std::string Printed(const std::string& line, const Options& options) {
  if (options.output == 932 || line.empty()) return line;
  int n = MultiByteToWideChar(932, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(932, 0, line.data(), static_cast<int>(line.size()), &wide[0], n);
  return ToCodePage(options.output, wide);
}

// Once nobody reads the output, the search is over: a failed write ends it, as a broken pipe
// ends grep-like tools.
void WriteOrEnd(DWORD stream, const std::string& text) {
  DWORD written = 0;
  if (!text.empty() && !WriteFile(GetStdHandle(stream), text.data(),
                                  static_cast<DWORD>(text.size()), &written, nullptr))
    ExitProcess(2);
}

class Output {
 public:
  ~Output() { Flush(); }
  void Add(const std::string& text) {
    pending_ += text;
    if (pending_.size() >= 4096) Flush();
  }
  void Flush() {
    WriteOrEnd(STD_OUTPUT_HANDLE, pending_);
    pending_.clear();
  }

 private:
  std::string pending_;
};

bool ReadWhole(const std::wstring& path, std::string& content) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  content.clear();
  char chunk[65536];
  DWORD got = 0;
  while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0)
    content.append(chunk, got);
  return true;
}

int SearchFile(const std::wstring& path, const std::vector<std::string>& words,
               const Options& options, Output& out) {
  std::string content;
  if (!ReadWhole(path, content)) return 0;
  if (options.printableOnly && !IsPrintableText(content)) return 0;
  std::string name = ToCodePage(options.output, path);
  size_t zero = content.find('\0');
  int found = 0;
  MatchLines(content, words, options.ignoreCase, [&](int number, const std::string& line) {
    ++found;
    if (zero != std::string::npos) return;
    std::string text = name + ":";
    if (options.numbers) text += std::to_string(number) + ":";
    out.Add(text + Printed(line, options) + "\r\n");
  });
  if (found > 0 && zero != std::string::npos)
    out.Add(name + ": binary file matches (found \"\\0\" byte around offset " +
            std::to_string(zero) + ")\r\n");
  out.Flush();
  return found;
}

// Searches the files of `directory` that match `pattern`, then its subdirectories when asked.
int SearchPattern(const std::wstring& directory, const std::wstring& pattern,
                  const std::vector<std::string>& words, const Options& options, Output& out) {
  int found = 0;
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirstFileW((directory + pattern).c_str(), &data));
  if (find) {
    std::vector<std::wstring> names;
    do {
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(data.cFileName);
    } while (FindNextFileW(find.get(), &data));
    find.reset();
    for (const std::wstring& name : names)
      found += SearchFile(directory + name, words, options, out);
  }
  if (!options.subdirectories) return found;
  find.reset(FindFirstFileW((directory + L"*").c_str(), &data));
  if (!find) return found;
  std::vector<std::wstring> subdirectories;
  do {
    std::wstring name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != L"." && name != L"..")
      subdirectories.push_back(name);
  } while (FindNextFileW(find.get(), &data));
  find.reset();
  for (const std::wstring& name : subdirectories)
    found += SearchPattern(directory + name + L"\\", pattern, words, options, out);
  return found;
}

// The folder of a pattern must exist, and so must a name without wildcards; what a search tool
// says otherwise, on standard error.
bool ComplainIfMissing(const std::wstring& operand, const std::wstring& directory,
                       const Options& options, Output& out) {
  bool wildcard = operand.find_first_of(L"*?") != std::wstring::npos;
  std::wstring must = wildcard ? directory : operand;
  if (must.empty() || GetFileAttributesW(must.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  DWORD code = GetLastError();
  out.Flush();
  WriteOrEnd(STD_ERROR_HANDLE, "sgrep: " + ToCodePage(options.output, operand) +
                                   ": cannot open (os error " + std::to_string(code) + ")\r\n");
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  std::vector<std::wstring> operands;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg.size() > 3 && arg[0] == L'/' && towupper(arg[1]) == L'C' && arg[2] == L':') {
      words.push_back(ToCp932(arg.substr(3)));  // a phrase, blanks and all
      continue;
    }
    if (_wcsicmp(arg.c_str(), L"/UTF8") == 0) {
      options.output = CP_UTF8;
      continue;
    }
    if (arg.size() == 2 && arg[0] == L'/') {
      switch (towupper(arg[1])) {
        case L'N':
          options.numbers = true;
          continue;
        case L'I':
          options.ignoreCase = true;
          continue;
        case L'P':
          options.printableOnly = true;
          continue;
        case L'S':
          options.subdirectories = true;
          continue;
      }
    }
    operands.push_back(arg);
  }
  // Without a /C: phrase, the first operand holds the words.
  if (words.empty() && !operands.empty()) {
    words = SplitWords(ToCp932(operands[0]));
    operands.erase(operands.begin());
  }
  if (words.empty() || operands.empty()) {
    const char usage[] =
        "usage: sgrep [/N] [/I] [/P] [/S] [/UTF8] \"words\" | /C:\"phrase\"... file-pattern...\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), usage, sizeof(usage) - 1, &written, nullptr);
    return 2;
  }
  Output out;
  int found = 0;
  for (const std::wstring& operand : operands) {
    size_t slash = operand.find_last_of(L"\\/:");
    std::wstring directory = slash == std::wstring::npos ? L"" : operand.substr(0, slash + 1);
    if (ComplainIfMissing(operand, directory, options, out)) continue;
    found += SearchPattern(directory, operand.substr(directory.size()), words, options, out);
  }
  return found > 0 ? 0 : 1;
}
