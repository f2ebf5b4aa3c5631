// The plugin's interface: every exported entry point as the host calls it. The DLL defines them
// against these declarations and the hosts of tools/ take their pointer types from them, so an
// argument list cannot change on one side only. (Win32)
#pragma once

#include <windows.h>

#include "common/records.h"

extern "C" {

void WINAPI ApiGetPluginInfo(PluginInfoRecord* info);

HANDLE WINAPI ApiOpen(const wchar_t* argument, const void* hostRecord, OpenResultRecord* result);
int WINAPI ApiClose(HANDLE handle);

int WINAPI ApiFindFirst(HANDLE handle, void* unused, FindRecord* record);
int WINAPI ApiFindNext(HANDLE handle, FindRecord* record);

int WINAPI ApiExecute(HANDLE handle, const wchar_t* entryPath);
int WINAPI ApiExecute2(HANDLE handle, const wchar_t* entryPath);
int WINAPI ApiIntCopyTo(HANDLE handle, const wchar_t* entryName, void* unused, wchar_t* destination,
                        int capacity, void* unused2);

// Not supported. The export table maps ApiCreateDirectory, ApiDelete and ApiRemoveDirectory to
// the first body, ApiCopyFrom, ApiCopyTo and ApiMove to the second.
int WINAPI UnsupportedWithTwo(void*, void*);
int WINAPI UnsupportedWithFour(void*, void*, void*, void*);
int WINAPI ApiRename(void*, void*, void*);
int WINAPI ApiShowContextMenu(void*, void*, void*, void*, void*);
}
