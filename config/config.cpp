#include "config/config.h"

#include "common/fixed_text.h"

void DirectoryOfPath(const wchar_t* path, wchar_t (&directory)[kPathCapacity]) {
  size_t end = 0;  // one past the last separator, or past a drive's colon
  for (size_t i = 0; path[i] != 0; ++i) {
    if (path[i] == L'\\' || path[i] == L'/' || (i == 1 && path[i] == L':')) end = i + 1;
  }
  FieldWriter w = StartField(directory);
  PutText(w, path, end);
  if (w.overflow) directory[0] = 0;
}

bool FormConfigPath(const wchar_t* moduleDirectory, wchar_t* path, size_t capacity) {
  FieldWriter w = StartField(path, capacity);
  PutText(w, moduleDirectory);
  PutText(w, kConfigFileName);
  if (moduleDirectory[0] == 0 || w.overflow) {
    path[0] = 0;
    return false;
  }
  return true;
}

bool IsMessageOutputOn(const wchar_t* value) {
  return value[0] == L'1';
}

uint32_t ParseCodePage(const wchar_t* value) {
  uint32_t codePage = 0;
  size_t digits = 0;
  for (; digits < 5 && value[digits] >= L'0' && value[digits] <= L'9'; ++digits)
    codePage = codePage * 10 + static_cast<uint32_t>(value[digits] - L'0');
  bool alias = codePage <= 3 || codePage == 42;  // the ANSI, OEM, Mac, thread and symbol aliases
  if (digits == 0 || value[digits] != 0 || codePage > 65535 || alias) return 0;
  return codePage;
}
