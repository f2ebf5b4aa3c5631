// Process-wide state, written only when the module is attached and detached.
#pragma once

#include "plugin/records.h"

// Drive and directory of the module's own file, with its trailing backslash; empty when unknown.
extern wchar_t g_moduleDirectory[kPathCapacity];

// The directory part of a file path, ending with its last separator ("\" or "/"), as the
// standard library's path splitting gives drive + directory. Empty when there is none.
void DirectoryOfPath(const wchar_t* path, wchar_t (&directory)[kPathCapacity]);
