#include "plugin/open.h"

#include "host/texts.h"
#include "plugin/fixed_text.h"

namespace {

bool IsDelimiter(wchar_t c, const wchar_t* delimiters) {
  for (; *delimiters != 0; ++delimiters)
    if (*delimiters == c) return true;
  return false;
}

}  // namespace

wchar_t* SplitToken(wchar_t* text, const wchar_t* delimiters, wchar_t** state) {
  wchar_t* p = text != nullptr ? text : *state;
  if (p == nullptr) return nullptr;
  while (*p != 0 && IsDelimiter(*p, delimiters)) ++p;
  if (*p == 0) {
    *state = p;
    return nullptr;
  }
  wchar_t* token = p;
  while (*p != 0 && !IsDelimiter(*p, delimiters)) ++p;
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
  if (TextLength(grepCommand) + TextLength(arguments) >= kCommandLineCapacity)
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
