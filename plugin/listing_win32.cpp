// Listing a search: each result line becomes one entry carrying its real file's size, time and
// attributes.
#include <windows.h>

#include <cwchar>

#include "host/bridge.h"
#include "host/texts.h"
#include "plugin/api.h"
#include "plugin/entry.h"
#include "search/platform_win32.h"

extern "C" int WINAPI ApiFindNext(HANDLE handle, FindRecord* record) {
  if (handle == nullptr) return 0;
  if (record == nullptr) return -1;
  auto* context = static_cast<SearchContext*>(handle);
  if (TakeNextLine(*context, record, Win32Reader()) < 0) {
    if (context->messageOutput != 0) HostAcknowledgeEnd();
    return -1;
  }

  wchar_t path[kPathCapacity];
  bool formed = FormRealPath(context->baseDirectory, record->name, path, kPathCapacity);
  FileFacts& file = context->lastFile;
  if (!formed || wcscmp(path, context->lastRealPath) != 0) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (formed && GetFileAttributesExW(path, GetFileExInfoStandard, &data)) {
      file = {data.nFileSizeLow, data.nFileSizeHigh, data.ftLastWriteTime.dwLowDateTime,
              data.ftLastWriteTime.dwHighDateTime, data.dwFileAttributes};
    } else {
      // Missing, unreachable, or a path too long to form: still an entry, like an empty file.
      file = {0, 0, 0, 0, FILE_ATTRIBUTE_NORMAL};
    }
    wcscpy(context->lastRealPath, path);  // both fit the same field; empty when not formed
  }
  // Field by field: the host's record may go on past these, and that part is not ours.
  record->sizeLow = file.sizeLow;
  record->sizeHigh = file.sizeHigh;
  record->writeTimeLow = file.writeTimeLow;
  record->writeTimeHigh = file.writeTimeHigh;
  record->attributes = file.attributes;
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
  context->lastRealPath[0] = 0;
  if (!StartSearchProcess(context->commandLine, *context, Win32Launch())) return 0;
  int waited = FillOutputBuffer(*context, Win32Reader());
  if (waited != 1) return waited;
  return ApiFindNext(handle, record);
}
