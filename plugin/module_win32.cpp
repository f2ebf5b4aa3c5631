// Module load and unload, the plugin's identity, and the entry points sarvik does not support.
#include <windows.h>

#include <clocale>
#include <cstring>
#include <iterator>

#include "common/fixed_text.h"
#include "config/config.h"
#include "host/bridge.h"
#include "host/texts.h"
#include "plugin/api.h"
#include "plugin/version.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    // Code page 932 for every multibyte conversion; where Japanese is missing, go on anyway.
    setlocale(LC_ALL, "Japanese");
    // The host loads the module on its own thread, the one that later calls every entry point:
    // the host object must be made on that thread's apartment to be usable from it.
    ConnectHost();
    RecordModuleDirectory(module);
  } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    // Only on an unload (FreeLibrary). When the process is ending (reserved is set) COM may be
    // gone already, and releasing an out-of-process host object could block the host's exit.
    DisconnectHost();
  }
  return TRUE;
}

extern "C" void WINAPI ApiGetPluginInfo(PluginInfoRecord* info) {
  if (info == nullptr) return;
  memset(info, 0, sizeof(*info));
  // The host reads these fields up to one character short of their end: 62 and 30 characters
  // of 64 and 32, then a terminator.
  CopyText(info->name, std::size(info->name) - 1, kPluginName);
  CopyText(info->author, std::size(info->author) - 1, kPluginAuthor);
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
// The host's interface asks 2 of a plugin that shows no context menu; the other stubs give 0.
extern "C" int WINAPI ApiShowContextMenu(void*, void*, void*, void*, void*) {
  return 2;
}
