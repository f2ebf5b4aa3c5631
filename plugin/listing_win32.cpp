// Listing a search: each result line becomes one entry carrying its real file's size, time and
// attributes.
#include <windows.h>

#include "host/bridge.h"
#include "host/texts.h"
#include "plugin/api.h"
#include "search/platform_win32.h"

extern "C" int WINAPI ApiFindNext(HANDLE handle, FindRecord* record) {
  if (handle == nullptr) return 0;
  if (record == nullptr) return -1;
  auto* context = static_cast<SearchContext*>(handle);
  if (TakeNextLine(*context, record, Win32Reader()) < 0) {
    if (context->messageOutput != 0) HostAcknowledgeEnd();
    return -1;
  }
  return 1;
}

extern "C" int WINAPI ApiFindFirst(HANDLE handle, void*, FindRecord* record) {
  if (handle == nullptr) return 0;
  auto* context = static_cast<SearchContext*>(handle);
  if (context->messageOutput != 0) {
    HostPrint(L"");
    HostPrint(kListingHeader);
  }
  // A new run replaces the previous one: its handles are closed (a child still running ends
  // when its pipe breaks) and its unread output is dropped.
  CloseSearchHandles(*context);
  StartOutput(*context);
  if (!StartSearchProcess(context->commandLine, *context, Win32Launch())) return 0;
  int waited = FillOutputBuffer(*context, Win32Reader());
  if (waited != 1) return waited;
  return ApiFindNext(handle, record);
}
