// Executing an entry through the host's Exec, and giving the host an entry's real path.
#include <windows.h>

#include "config/config.h"
#include "host/bridge.h"
#include "host/texts.h"
#include "plugin/api.h"
#include "plugin/entry.h"

namespace {

int ExecuteEntry(HANDLE handle, const wchar_t* entryPath, const wchar_t* key) {
  if (handle == nullptr) return 0;
  const auto* context = static_cast<const SearchContext*>(handle);
  wchar_t entryTemplate[kEntryTemplateCapacity];
  ReadKey(key, kEntryTemplateDefault, entryTemplate, context->configPath);
  wchar_t command[kEntryCommandCapacity];
  switch (BuildEntryCommand(*context, entryPath, entryTemplate, command)) {
    case EntryCommandOutcome::kBuilt:
      return HostExec(command) ? 1 : 0;
    case EntryCommandOutcome::kBadTemplate:
      HostPrintAnsi(kConfigEntryMessage);
      HostPrint(entryTemplate);
      return 0;
    case EntryCommandOutcome::kBadEntry:
    case EntryCommandOutcome::kTooLong:
      return 0;
  }
  return 0;
}

}  // namespace

extern "C" int WINAPI ApiExecute(HANDLE handle, const wchar_t* entryPath) {
  return ExecuteEntry(handle, entryPath, kCommandKey);
}

extern "C" int WINAPI ApiExecute2(HANDLE handle, const wchar_t* entryPath) {
  return ExecuteEntry(handle, entryPath, kShiftCommandKey);
}

extern "C" int WINAPI ApiIntCopyTo(HANDLE handle, const wchar_t* entryName, void*,
                                   wchar_t* destination, int capacity, void*) {
  if (handle == nullptr) return 0;
  if (destination == nullptr || capacity <= 0) return 0;
  const auto* context = static_cast<const SearchContext*>(handle);
  return FillRealPath(*context, entryName, destination, static_cast<size_t>(capacity)) ? 1 : 0;
}
