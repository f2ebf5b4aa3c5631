// Acting on a listed entry without the platform: real paths, the entry template's recognition and
// its expansion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/records.h"

// The host's room for a command: the template's own text and a quoted real path.
constexpr size_t kEntryCommandCapacity = 520;

enum class TemplateShape {
  kUnusable,
  kPath,          // a single %s
  kLineThenPath,  // ... %d ... %s
  kPathThenLine,  // ... %s ... %d
};

struct TemplatePlan {
  TemplateShape shape;
  size_t first;   // position of the first placeholder's %
  size_t second;  // position of the second placeholder's % (== first for a single one)
};

// Judges a template by its last two % signs (or its only one) and the letter right after each.
TemplatePlan RecognizeTemplate(const wchar_t* entryTemplate);

enum class EntryCommandOutcome {
  kBuilt,
  kBadTemplate,  // no usable placeholder, or another conversion before them
  kBadEntry,     // no entry, or one of 260 characters or more after its leading "/"
  kTooLong,      // the expanded command does not fit its field, or the real path passes the
                 // system's limit and is relative
};

// Expands the template for an entry path ("/" followed by the EntryName). The template is never
// used as a printf format: only its placeholders and "%%" pairs before them are expanded.
EntryCommandOutcome BuildEntryCommand(const SearchContext& context, const wchar_t* entryPath,
                                      const wchar_t* entryTemplate,
                                      wchar_t (&command)[kEntryCommandCapacity]);

// What ApiIntCopyTo writes: the real path of the EntryName into the host's buffer, zero-filled,
// without a terminator when it fills the buffer. False (and a zero-filled buffer) when the
// EntryName is no entry's, or the path passes the system's limit and is relative.
bool FillRealPath(const SearchContext& context, const wchar_t* entryName, wchar_t* destination,
                  size_t capacity);
