// Opening a search without the platform: splitting the argument, assembling the command line and
// filling the host's OpenResultRecord.
#pragma once

#include "common/records.h"

// The standard wide tokeniser's rules (wcstok): skip delimiters, cut the token at the next one.
// `state` carries the position between calls; pass text only on the first call. Our own because
// msvcrt's wcstok takes two arguments and keeps its state in the runtime.
wchar_t* SplitToken(wchar_t* text, const wchar_t* delimiters, wchar_t** state);

enum class OpenOutcome {
  kOpened,
  kNoSearchArguments,  // no text after the quoted directory, or no quote at all
  kCommandTooLong,     // GrepCommand and the search arguments reach 8192 characters
};

// Splits `argument` into the BaseDirectory and the search arguments, assembles the command line
// (GrepCommand, one space, the search arguments) and fills `context` and `result` on success.
// Neither is touched on failure.
OpenOutcome PrepareSearch(const wchar_t* argument, const wchar_t* grepCommand,
                          SearchContext& context, OpenResultRecord& result);
