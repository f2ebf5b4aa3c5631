// Starting the search as a hidden child with its output (standard output and error) on one pipe
// and its input on another, in a job of its own so that stopping it stops every process it
// started, and inheriting its three pipe ends only. The handle operations are reached through
// LaunchPlatform so the clean-up of every failed step can be checked without Windows.
#pragma once

#include "common/records.h"

struct LaunchPlatform {
  void* user;
  bool (*createPipe)(void* user, void** readEnd, void** writeEnd);  // both ends inheritable
  bool (*duplicate)(void* user, void* handle, bool inheritable, void** copy);
  void (*close)(void* user, void* handle);
  // A job that ends every process in it when its handle is closed. False where none can be made.
  bool (*createJob)(void* user, void** job);
  // What tells the start to pass on these handles and no other. False where the system cannot.
  bool (*listHandles)(void* user, void* const (&handles)[3], void** list);
  void (*freeList)(void* user, void* list);
  // Starts the command line hidden and suspended with the three standard handles, passing on those
  // of `list` only (every inheritable handle without one); may modify commandLine.
  bool (*start)(void* user, wchar_t* commandLine, void* input, void* output, void* error,
                void* list, void** process, void** thread);
  bool (*assign)(void* user, void* job, void* process);
  // Lets the suspended child run; where it cannot, the child is ended and false returned.
  bool (*resume)(void* user, void* process, void* thread);
  // While the failure's error code is still current; the command line as it was tried.
  void (*reportStartFailure)(void* user, const wchar_t* commandLine);
};

// True when the search runs: the context then holds the process, the output read end, the input
// write end and the job (null where there is none). False when it failed: the context is as it
// was and nothing made here stays open.
bool StartSearchProcess(wchar_t* commandLine, SearchContext& context,
                        const LaunchPlatform& platform);
