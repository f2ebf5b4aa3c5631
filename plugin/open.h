// Opening a search without the platform: splitting the argument, assembling the command line and
// filling the host's OpenResultRecord.
#pragma once

#include "common/records.h"

enum class OpenOutcome {
  kOpened,
  kNoSearchArguments,   // no quoted directory first, an empty one, or nothing after it
  kCommandLineTooLong,  // GrepCommand and the search arguments reach 8192 characters
};

// Splits `argument` into the BaseDirectory (in double quotes, after any blanks) and the search
// arguments (everything after its closing quote, as typed), assembles the command line
// (GrepCommand, one space, the search arguments) and fills `context` and `result` on success.
// Neither is touched on failure.
OpenOutcome PrepareSearch(const wchar_t* argument, const wchar_t* grepCommand,
                          SearchContext& context, OpenResultRecord& result);
