// The configuration file beside the module: where it is and what its values mean. Reading a key
// is the one Win32 call (ReadKey); everything else here is portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/records.h"

inline constexpr wchar_t kConfigFileName[] = L"sarvik.ini";
inline constexpr wchar_t kConfigSection[] = L"Config";

inline constexpr wchar_t kMessageOutputKey[] = L"MessageOutput";
inline constexpr wchar_t kMessageOutputDefault[] = L"0";
constexpr size_t kMessageOutputCapacity = 2;

inline constexpr wchar_t kGrepCommandKey[] = L"GrepCommand";
inline constexpr wchar_t kGrepCommandDefault[] = L"findstr /N /I /P";
constexpr size_t kGrepCommandCapacity = 8192;

inline constexpr wchar_t kCommandKey[] = L"Command";
inline constexpr wchar_t kShiftCommandKey[] = L"ShiftCommand";
inline constexpr wchar_t kEntryTemplateDefault[] = L"&EDIT %s";
// The code page of the search program's output.
inline constexpr wchar_t kCodePageKey[] = L"CodePage";
inline constexpr wchar_t kCodePageDefault[] = L"932";
constexpr size_t kCodePageCapacity = 16;

// A host command around one path: the path limit (260) and 32 characters for the command.
constexpr size_t kEntryTemplateCapacity = 292;

// Drive and directory of the module's own file, with its trailing backslash, recorded when the
// module is attached; empty when unknown. It is kept only to find sarvik.ini beside the module.
extern wchar_t g_moduleDirectory[kPathCapacity];

// Records g_moduleDirectory from the module's own file name. (Win32)
void RecordModuleDirectory(void* module);

// The directory part of a file path, ending with its last separator ("\\" or "/") or a drive's
// colon: _wsplitpath's drive and directory, which the portable build has no standard function
// for. Empty when there is none or it does not fit.
void DirectoryOfPath(const wchar_t* path, wchar_t (&directory)[kPathCapacity]);

// Forms "<moduleDirectory>sarvik.ini" in a field of `capacity` characters. When the directory is
// empty (unknown) or the path does not fit, the field is left empty and false is returned: an
// empty path reads no file at all, so the defaults apply.
bool FormConfigPath(const wchar_t* moduleDirectory, wchar_t* path, size_t capacity);

// The switch is on when the value's first character is "1", whatever follows.
bool IsMessageOutputOn(const wchar_t* value);

// The code page that a CodePage value names: one to five decimal digits and nothing else, 1 to
// 65535, not one of the system's aliases for another code page (0 to 3, 42). 0 for anything else.
uint32_t ParseCodePage(const wchar_t* value);

// Reads one key of the Config section; values longer than capacity - 1 are cut. An empty path
// yields the default. (Win32)
void ReadKey(const wchar_t* key, const wchar_t* fallback, wchar_t* value, size_t capacity,
             const wchar_t* path);

template <size_t N>
void ReadKey(const wchar_t* key, const wchar_t* fallback, wchar_t (&value)[N],
             const wchar_t* path) {
  ReadKey(key, fallback, value, N, path);
}
