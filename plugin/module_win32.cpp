// Module load and unload, the plugin's identity, and the entry points sarvik does not support.
#include <windows.h>

#include <clocale>
#include <cstring>

#include "host/bridge.h"
#include "host/texts.h"
#include "plugin/fixed_text.h"
#include "plugin/module.h"

wchar_t g_moduleDirectory[kPathCapacity];

namespace {

void RecordModuleDirectory(HINSTANCE module) {
  wchar_t path[kPathCapacity];
  DWORD length = GetModuleFileNameW(module, path, kPathCapacity);
  // A cut file name would give a wrong directory; leave it unknown, so the defaults apply.
  if (length == 0 || length >= kPathCapacity) {
    g_moduleDirectory[0] = 0;
    return;
  }
  DirectoryOfPath(path, g_moduleDirectory);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // Code page 932 for every multibyte conversion; where Japanese is missing, go on anyway.
    setlocale(LC_ALL, "Japanese");
    ConnectHost();
    RecordModuleDirectory(module);
  } else if (reason == DLL_PROCESS_DETACH) {
    DisconnectHost();
  }
  return TRUE;
}

extern "C" void WINAPI ApiGetPluginInfo(PluginInfoRecord* info) {
  if (info == nullptr) return;
  memset(info, 0, sizeof(*info));
  CopyText(info->name, 63, kPluginName);      // at most 62 characters
  CopyText(info->author, 31, kPluginAuthor);  // at most 30 characters
  info->version = kPluginVersion;
}

// The unsupported entry points; the export table maps each group of equal argument count to one
// body.
extern "C" int WINAPI UnsupportedWithTwo(void*, void*) {
  return 0;
}
extern "C" int WINAPI UnsupportedWithFour(void*, void*, void*, void*) {
  return 0;
}
extern "C" int WINAPI ApiRename(void*, void*, void*) {
  return 0;
}
extern "C" int WINAPI ApiShowContextMenu(void*, void*, void*, void*, void*) {
  return 2;
}
