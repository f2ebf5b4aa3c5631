#include "search/program.h"

#include <cwchar>
#include <initializer_list>

#include "common/fixed_text.h"
#include "common/path.h"

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

// A folder that does not depend on the current directory or drive: "C:\..." or "\\server\...".
bool IsFullyQualified(const wchar_t* folder, size_t length) {
  if (length < 3) return length == 2 && folder[0] == L'\\' && folder[1] == L'\\';
  return folder[0] == L'\\' ? folder[1] == L'\\' : DriveColonEnd(folder) != 0;
}

// The candidate in `folder` (its first `length` characters); false when it does not fit.
bool FormCandidate(const wchar_t* folder, size_t length, const wchar_t* word, size_t wordLength,
                   bool addExe, wchar_t (&program)[kPathCapacity]) {
  FieldWriter w = StartField(program);
  PutText(w, folder, length);
  if (program[w.length - 1] != L'\\' && program[w.length - 1] != L'/') PutChar(w, L'\\');
  PutText(w, word, wordLength);
  if (addExe) PutText(w, L".exe");
  return !w.overflow;
}

bool IsIn(const wchar_t* folder, size_t length, const wchar_t* word, size_t wordLength,
          bool addExe, const ProgramPlaces& places, wchar_t (&program)[kPathCapacity]) {
  // A PATH entry may stand in double quotes.
  if (length >= 2 && folder[0] == L'"' && folder[length - 1] == L'"') {
    ++folder;
    length -= 2;
  }
  return IsFullyQualified(folder, length) &&
         FormCandidate(folder, length, word, wordLength, addExe, program) &&
         places.isFile(places.user, program);
}

}  // namespace

ProgramLookup FindProgram(const wchar_t* commandLine, const ProgramPlaces& places,
                          wchar_t (&program)[kPathCapacity]) {
  program[0] = 0;
  const wchar_t* word = commandLine;
  size_t length = 0;
  if (word[0] == L'"') {
    ++word;
    while (word[length] != 0 && word[length] != L'"') ++length;
  } else {
    while (word[length] != 0 && !IsBlank(word[length])) ++length;
  }
  if (length == 0) return ProgramLookup::kAsTyped;
  for (size_t i = 0; i < length; ++i)
    if (word[i] == L'\\' || word[i] == L'/' || word[i] == L':') return ProgramLookup::kAsTyped;
  bool addExe = wmemchr(word, L'.', length) == nullptr;

  for (const wchar_t* folder : {places.hostFolder, places.systemFolder, places.windowsFolder})
    if (IsIn(folder, wcslen(folder), word, length, addExe, places, program))
      return ProgramLookup::kFound;
  for (const wchar_t* entry = places.path; *entry != 0;) {
    size_t entryLength = wcscspn(entry, L";");
    if (IsIn(entry, entryLength, word, length, addExe, places, program))
      return ProgramLookup::kFound;
    entry += entryLength;
    if (*entry == L';') ++entry;
  }
  program[0] = 0;
  return ProgramLookup::kMissing;
}
