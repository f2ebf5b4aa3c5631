#include "common/real_path.h"

#include <cwchar>

#include "common/file_line.h"
#include "common/path.h"

namespace {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// Length of the part before the next separator.
size_t PartLength(const wchar_t* text) {
  size_t n = 0;
  while (text[n] != 0 && !IsSeparator(text[n])) ++n;
  return n;
}

}  // namespace

void PutRealPath(FieldWriter& w, const wchar_t* baseDirectory, const wchar_t* file, size_t length) {
  if (!IsAbsolutePath(file)) {
    PutText(w, baseDirectory);
    PutChar(w, L'\\');
  }
  PutText(w, file, length);
}

bool FormRealPath(const wchar_t* baseDirectory, const wchar_t* name, wchar_t* path,
                  size_t capacity) {
  FieldWriter w = StartField(path, capacity);
  PutRealPath(w, baseDirectory, name, FirstColon(name, wcslen(name)));
  if (w.overflow) path[0] = 0;
  return !w.overflow;
}

bool NeedsLongForm(const wchar_t* path) {
  return wcslen(path) >= kPathCapacity;
}

bool IsReachable(const wchar_t* path) {
  return !NeedsLongForm(path) || IsAbsolutePath(path);
}

bool FormLongPath(const wchar_t* path, wchar_t* out, size_t capacity) {
  FieldWriter w = StartField(out, capacity);
  const wchar_t* rest = path;
  if (wcsncmp(path, L"\\\\?\\", 4) == 0) {
    PutText(w, path);
    rest = L"";
  } else if (DriveColonEnd(path) != 0) {
    PutText(w, L"\\\\?\\");
    PutText(w, path, 2);
    rest = path + 2;
  } else if (IsAbsolutePath(path)) {
    // The server and the share are the root: ".." never climbs above them.
    PutText(w, L"\\\\?\\UNC");
    rest = path + 2;
    for (int part = 0; part < 2; ++part) {
      size_t length = PartLength(rest);
      PutChar(w, L'\\');
      PutText(w, rest, length);
      rest += length;
      while (IsSeparator(*rest)) ++rest;
    }
  } else {
    out[0] = 0;
    return false;
  }
  const size_t root = w.length;
  while (*rest != 0) {
    while (IsSeparator(*rest)) ++rest;
    size_t length = PartLength(rest);
    if (length == 2 && rest[0] == L'.' && rest[1] == L'.') {
      while (w.length > root && out[w.length - 1] != L'\\') --w.length;
      if (w.length > root) --w.length;  // the separator before the part taken back
      out[w.length] = 0;
    } else if (length > 0 && !(length == 1 && rest[0] == L'.')) {
      PutChar(w, L'\\');
      PutText(w, rest, length);
    }
    rest += length;
  }
  if (w.overflow) out[0] = 0;
  return !w.overflow;
}
