// Fuzzed open arguments and search commands: the split and the command line must match a plain
// reading of the rules, and nothing may be written outside the context and the host's record.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <string>

#include "plugin/open.h"

namespace {

// Bytes to wide text, with the characters that matter made common.
std::wstring Wide(const std::string& bytes) {
  std::wstring text;
  for (unsigned char b : bytes) {
    if (b == 0) continue;
    if (b >= 0xF0)
      text += L'"';
    else if (b >= 0xE8)
      text += L' ';
    else if (b >= 0xE0)
      text += L'\t';
    else if (b >= 0x80)
      text += static_cast<wchar_t>(0x3000 + b);
    else
      text += static_cast<wchar_t>(b);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::wstring grep = Wide(input.ConsumeRandomLengthString(64));
  grep += std::wstring(input.ConsumeIntegralInRange<size_t>(0, 8300), L'g');
  std::wstring pad(input.ConsumeIntegralInRange<size_t>(0, 8300), L'a');
  std::wstring argument = Wide(input.ConsumeRemainingBytesAsString());
  argument.insert(argument.size() / 2, pad);

  auto context = std::make_unique<SearchContext>();
  memset(context.get(), 0, sizeof(SearchContext));
  auto result = std::make_unique<OpenResultRecord>();
  OpenOutcome outcome = PrepareSearch(argument.c_str(), grep.c_str(), *context, *result);

  // The rules, read plainly: blanks, a quoted directory that is not empty, and then at least one
  // character of search arguments, taken as they stand.
  std::wstring cut = argument.substr(0, 8191);
  size_t open = cut.find_first_not_of(L" \t");
  size_t close = open != std::wstring::npos && cut[open] == L'"' ? cut.find(L'"', open + 1)
                                                                 : std::wstring::npos;
  if (close == std::wstring::npos || close == open + 1 || close + 1 == cut.size()) {
    if (outcome != OpenOutcome::kNoSearchArguments) abort();
    return 0;
  }
  std::wstring directory = cut.substr(open + 1, close - open - 1);
  std::wstring words = cut.substr(close + 1);
  if (grep.size() + words.size() >= 8192) {
    if (outcome != OpenOutcome::kCommandLineTooLong) abort();
    return 0;
  }
  if (outcome != OpenOutcome::kOpened) abort();
  if (context->commandLine != grep + L" " + words) abort();
  if (context->baseDirectory != directory.substr(0, 259)) abort();
  std::wstring field(result->directory, 260);
  std::wstring expected = directory.substr(0, 260);
  expected.resize(260, L'\0');
  if (field != expected) abort();
  if (std::wstring(result->root) != L"/") abort();
  return 0;
}
