#include "config/config.h"

#include "plugin/fixed_text.h"

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
