// Starting the search as a hidden child with its output (standard output and error) on one pipe
// and its input on another. The handle operations are reached through LaunchPlatform so the
// clean-up of every failed step can be checked without Windows.
#pragma once

#include "common/records.h"

struct LaunchPlatform {
  void* user;
  bool (*createPipe)(void* user, void** readEnd, void** writeEnd);  // both ends inheritable
  bool (*duplicate)(void* user, void* handle, bool inheritable, void** copy);
  void (*close)(void* user, void* handle);
  // Starts the command line hidden with the three standard handles; may modify commandLine.
  bool (*start)(void* user, wchar_t* commandLine, void* input, void* output, void* error,
                void** process, void** thread);
  // While the failure's error code is still current; the command line as it was tried.
  void (*reportStartFailure)(void* user, const wchar_t* commandLine);
};

// True when the search runs: the context then holds the process, the output read end and the
// input write end. False when it failed: the context is as it was and nothing made here stays
// open.
bool StartSearchProcess(wchar_t* commandLine, SearchContext& context,
                        const LaunchPlatform& platform);
