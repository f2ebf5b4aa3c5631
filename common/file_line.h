// How sarvik reads "file:line", in one place for the listing, the real path and executing an entry:
// an absolute path's drive colon ("C:\" or "C:/") belongs to the file and is never counted. The
// first colon after it ends the file part, the next one ends a result line's EntryName, and the
// line number follows the last. Works on the output's bytes and on wide names alike; each gives a
// position in text[0, length), or length when there is no such colon.
#pragma once

#include <cstddef>
#include <cstring>
#include <cwchar>

#include "common/path.h"

namespace file_line_detail {
inline const char* Find(const char* text, size_t length) {
  return static_cast<const char*>(memchr(text, ':', length));
}
inline const wchar_t* Find(const wchar_t* text, size_t length) {
  return wmemchr(text, L':', length);
}
}  // namespace file_line_detail

// The first colon at or after `from` that is not a drive's.
template <class Char>
size_t ColonFrom(const Char* text, size_t length, size_t from) {
  if (from == 0 && length >= 3) from = DriveColonEnd(text);
  if (from >= length) return length;
  const Char* colon = file_line_detail::Find(text + from, length - from);
  return colon != nullptr ? static_cast<size_t>(colon - text) : length;
}

// Ends the file part.
template <class Char>
size_t FirstColon(const Char* text, size_t length) {
  return ColonFrom(text, length, 0);
}

// Ends a result line's EntryName: the colon after the first.
template <class Char>
size_t SecondColon(const Char* text, size_t length, size_t first) {
  return first < length ? ColonFrom(text, length, first + 1) : length;
}

// The line number of an entry follows it.
template <class Char>
size_t LastColon(const Char* text, size_t length) {
  size_t drive = length >= 3 ? DriveColonEnd(text) : 0;
  for (size_t at = length; at > drive; --at)
    if (text[at - 1] == ':') return at - 1;
  return length;
}
