#include "plugin/open.h"

#include <cwchar>

#include "common/fixed_text.h"
#include "host/texts.h"

wchar_t* SplitToken(wchar_t* text, const wchar_t* delimiters, wchar_t** state) {
  wchar_t* p = text != nullptr ? text : *state;
  if (p == nullptr) return nullptr;
  while (*p != 0 && wcschr(delimiters, *p) != nullptr) ++p;
  if (*p == 0) {
    *state = p;
    return nullptr;
  }
  wchar_t* token = p;
  while (*p != 0 && wcschr(delimiters, *p) == nullptr) ++p;
  if (*p != 0) *p++ = 0;
  *state = p;
  return token;
}

OpenOutcome PrepareSearch(const wchar_t* argument, const wchar_t* grepCommand,
                          SearchContext& context, OpenResultRecord& result) {
  wchar_t scratch[kCommandLineCapacity];  // a longer argument is cut to 8191 characters
  CopyText(scratch, argument);
  wchar_t* state = nullptr;
  const wchar_t* directory = SplitToken(scratch, L"\"", &state);
  const wchar_t* arguments = SplitToken(nullptr, L"\"", &state);
  if (arguments == nullptr) return OpenOutcome::kNoSearchArguments;
  if (wcslen(grepCommand) + wcslen(arguments) >= kCommandLineCapacity)
    return OpenOutcome::kCommandTooLong;

  FieldWriter command = StartField(context.commandLine);
  PutText(command, grepCommand);
  PutChar(command, L' ');
  PutText(command, arguments);
  CopyText(context.baseDirectory, directory);

  FillField(result.directory, kPathCapacity, directory);
  CopyText(result.root, kListingRoot);
  CopyText(result.title, kListingTitle);
  return OpenOutcome::kOpened;
}
