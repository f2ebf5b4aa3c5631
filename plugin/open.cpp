#include "plugin/open.h"

#include <cwchar>
#include <iterator>

#include "common/fixed_text.h"
#include "host/texts.h"

OpenOutcome PrepareSearch(const wchar_t* argument, const wchar_t* grepCommand,
                          SearchContext& context, OpenResultRecord& result) {
  wchar_t scratch[kCommandLineLength];  // a longer argument is cut to 8191 characters
  CopyText(scratch, argument);
  // The directory is what the first pair of quotes holds; blanks may come before it, and
  // everything after it, quotes included, is the search arguments as the user typed them.
  wchar_t* directory = scratch + wcsspn(scratch, L" \t");
  if (*directory != L'"') return OpenOutcome::kNoSearchArguments;
  ++directory;
  wchar_t* closing = wcschr(directory, L'"');
  if (closing == nullptr || closing == directory || closing[1] == 0)
    return OpenOutcome::kNoSearchArguments;
  *closing = 0;
  const wchar_t* arguments = closing + 1;
  if (wcslen(grepCommand) + wcslen(arguments) >= kCommandLineLength)
    return OpenOutcome::kCommandLineTooLong;

  FieldWriter command = StartField(context.commandLine);
  PutText(command, grepCommand);
  PutChar(command, L' ');
  PutText(command, arguments);
  CopyText(context.baseDirectory, directory);

  FillField(result.directory, std::size(result.directory), directory);
  CopyText(result.root, kListingRoot);
  CopyText(result.title, kListingTitle);
  return OpenOutcome::kOpened;
}
