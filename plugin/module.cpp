#include "plugin/module.h"

#include "plugin/fixed_text.h"

void DirectoryOfPath(const wchar_t* path, wchar_t (&directory)[kPathCapacity]) {
  size_t end = 0;  // one past the last separator, or past a drive's colon
  for (size_t i = 0; path[i] != 0; ++i) {
    if (path[i] == L'\\' || path[i] == L'/' || (i == 1 && path[i] == L':')) end = i + 1;
  }
  FieldWriter w = StartField(directory);
  PutText(w, path, end);
  if (w.overflow) directory[0] = 0;
}
