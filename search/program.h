// Which program a command line starts. The system, given no program name, looks for the first word
// in the current directory too, which is the folder being searched: a "findstr.exe" lying there
// would run in place of the real one. sarvik looks the word up itself, in places of its own.
#pragma once

#include <cstdint>

#include "common/records.h"

// Where a program named by its bare name is looked for, in this order, and how a file is told
// from a folder or nothing.
struct ProgramPlaces {
  void* user;
  const wchar_t* hostFolder;  // the folder of the host's executable
  const wchar_t* systemFolder;
  const wchar_t* windowsFolder;
  const wchar_t* path;  // the PATH: folders separated by ';'
  bool (*isFile)(void* user, const wchar_t* path);
};

enum class ProgramLookup : uint8_t {
  kAsTyped,  // the first word names a folder (or is empty): the system starts it as typed
  kFound,    // the program's full path is found
  kMissing,  // found nowhere
};

// Looks up the first word of the command line (a quoted word, or up to the first blank) when it
// names no folder: no "\", "/" or drive. ".exe" is appended when it has no extension. Only fully
// qualified folders are searched: never the current directory, nor an empty, "." or relative
// PATH entry.
ProgramLookup FindProgram(const wchar_t* commandLine, const ProgramPlaces& places,
                          wchar_t (&program)[kPathCapacity]);
