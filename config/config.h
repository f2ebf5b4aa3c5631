// The configuration file beside the module: where it is and what its values mean. Reading a key
// is the one Win32 call (ReadKey); everything else here is portable.
#pragma once

#include <cstddef>

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
inline constexpr wchar_t kOpenTemplateDefault[] = L"&EDIT %s";
constexpr size_t kOpenTemplateCapacity = 292;

// Forms "<moduleDirectory>sarvik.ini" in a field of `capacity` characters. When the directory is
// empty (unknown) or the path does not fit, the field is left empty and false is returned: an
// empty path reads no file at all, so the defaults apply.
bool FormConfigPath(const wchar_t* moduleDirectory, wchar_t* path, size_t capacity);

// The switch is on when the value's first character is "1", whatever follows.
bool IsMessageOutputOn(const wchar_t* value);

// Reads one key of the Config section; values longer than capacity - 1 are cut. An empty path
// yields the default. (Win32)
void ReadKey(const wchar_t* key, const wchar_t* fallback, wchar_t* value, size_t capacity,
             const wchar_t* path);
