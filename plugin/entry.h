// Acting on a listed entry without the platform: real paths, the open template's recognition and
// its expansion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/records.h"

// Room for the template's own text around a quoted path that may take up to 260 characters.
constexpr size_t kOpenCommandCapacity = 520;

// The real path of an entry: the BaseDirectory, a backslash and the name up to its first colon
// (the whole name when it has none); a name that begins with an absolute path ("C:\..." or
// "\\server\...") gives that path as it stands, up to the first colon after its drive. False
// when it does not fit the field; the field is then empty.
bool FormRealPath(const wchar_t* baseDirectory, const wchar_t* name, wchar_t* path,
                  size_t capacity);

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
TemplatePlan RecognizeTemplate(const wchar_t* openTemplate);

enum class OpenCommandOutcome {
  kBuilt,
  kBadTemplate,  // no usable placeholder, or another conversion before them
  kBadEntry,     // no entry, or one of 260 characters or more after its leading "/"
  kTooLong,      // the quoted path or the expanded command does not fit its field
};

// Expands the template for an entry path ("/" followed by the EntryName). The template is never
// used as a printf format: only its placeholders and "%%" pairs before them are expanded.
OpenCommandOutcome BuildOpenCommand(const SearchContext& context, const wchar_t* entryPath,
                                    const wchar_t* openTemplate,
                                    wchar_t (&command)[kOpenCommandCapacity]);

// What ApiIntCopyTo writes: the real path of the EntryName into the host's buffer, zero-filled,
// without a terminator when it fills the buffer. False (and a zero-filled buffer) when the path
// does not fit the 260-character field.
bool CopyRealPath(const SearchContext& context, const wchar_t* entryName, wchar_t* destination,
                  size_t capacity);
