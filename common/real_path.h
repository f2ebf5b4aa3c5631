// The real file of an entry, for the listing, executing an entry and the host's copy alike: the
// BaseDirectory, a backslash and the entry's file part, or that file part alone when it is an
// absolute path. Such a path may pass the system's 260-character limit; where it is absolute, the
// system still reaches it through its long form.
#pragma once

#include <cstddef>

#include "common/fixed_text.h"
#include "common/records.h"

// Puts the real path of a file part (the first `length` characters of `file`).
void PutRealPath(FieldWriter& w, const wchar_t* baseDirectory, const wchar_t* file, size_t length);

// The real path of an entry name: the file part ends at the name's first colon (the whole name
// when it has none). False, and an empty field, when it does not fit.
bool FormRealPath(const wchar_t* baseDirectory, const wchar_t* name, wchar_t* path,
                  size_t capacity);

template <size_t N>
bool FormRealPath(const wchar_t* baseDirectory, const wchar_t* name, wchar_t (&path)[N]) {
  return FormRealPath(baseDirectory, name, path, N);
}

// Whether the path passes the system's 260-character limit: only its long form reaches it then.
bool NeedsLongForm(const wchar_t* path);

// Whether the system can reach the path: within its limit, or absolute (a drive or a UNC share),
// so that its long form reaches it.
bool IsReachable(const wchar_t* path);

// The long form of an absolute path ("\\?\C:\..." or "\\?\UNC\server\share\..."), which passes the
// 260-character limit but takes every character literally: its "." and ".." parts are resolved
// first, "/" becomes "\" and doubled separators are dropped. A path already in that form is kept.
// False, and an empty field, for a relative path or one that does not fit.
bool FormLongPath(const wchar_t* path, wchar_t* out, size_t capacity);
