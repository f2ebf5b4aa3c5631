#include <windows.h>

#include "config/config.h"
#include "plugin/fixed_text.h"

void ReadKey(const wchar_t* key, const wchar_t* fallback, wchar_t* value, size_t capacity,
             const wchar_t* path) {
  if (path[0] == 0) {
    CopyText(value, capacity, fallback);
    return;
  }
  GetPrivateProfileStringW(kConfigSection, key, fallback, value, static_cast<DWORD>(capacity),
                           path);
}
