// The shapes of path that a search program may print at the start of a result line.
#pragma once

#include <cstddef>

// 2 when the text begins with a drive letter, a colon and a separator ("C:\" or "C:/"): the
// drive's colon belongs to the path. 0 otherwise. The text must be terminated, or at least three
// characters long.
template <class Char>
size_t DriveColonEnd(const Char* text) {
  // The colon first: it is what most names do not have there.
  if (text[0] == 0 || text[1] != ':' || (text[2] != '\\' && text[2] != '/')) return 0;
  return (text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z') ? 2 : 0;
}

// A path that stands on its own, not below the search's directory: a drive path as above, or a
// UNC name (two backslashes).
template <class Char>
bool IsAbsolutePath(const Char* text) {
  return DriveColonEnd(text) != 0 || (text[0] == '\\' && text[1] == '\\');
}
