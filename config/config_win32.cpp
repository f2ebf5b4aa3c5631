#include <windows.h>

#include <iterator>

#include "config/config.h"
#include "common/fixed_text.h"

wchar_t g_moduleDirectory[kPathCapacity];

void RecordModuleDirectory(void* module) {
  wchar_t path[kPathCapacity];
  DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), path, std::size(path));
  // A cut file name would give a wrong directory; leave it unknown, so the defaults apply.
  if (length == 0 || length >= std::size(path)) {
    g_moduleDirectory[0] = 0;
    return;
  }
  DirectoryOfPath(path, g_moduleDirectory);
}

void ReadKey(const wchar_t* key, const wchar_t* fallback, wchar_t* value, size_t capacity,
             const wchar_t* path) {
  if (path[0] == 0) {
    CopyText(value, capacity, fallback);
    return;
  }
  GetPrivateProfileStringW(kConfigSection, key, fallback, value, static_cast<DWORD>(capacity),
                           path);
}
