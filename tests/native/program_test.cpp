#include "search/program.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct Disk {
  std::set<std::wstring> files;
  std::vector<std::wstring> asked;  // every candidate looked at, in order
};

bool IsFileFake(void* user, const wchar_t* path) {
  auto* disk = static_cast<Disk*>(user);
  disk->asked.push_back(path);
  return disk->files.count(path) != 0;
}

struct Lookup {
  ProgramLookup result;
  std::wstring program;
};

Lookup Find(Disk& disk, const wchar_t* commandLine, const wchar_t* path = L"C:\\bin;D:\\tools\\") {
  const ProgramPlaces places = {
      .user = &disk,
      .hostFolder = L"C:\\Host\\",
      .systemFolder = L"C:\\Windows\\system32",
      .windowsFolder = L"C:\\Windows",
      .path = path,
      .isFile = IsFileFake,
  };
  wchar_t program[kPathCapacity];
  ProgramLookup result = FindProgram(commandLine, places, program);
  return {result, program};
}

// The host's folder, the system folder, the Windows folder, then the PATH in its order; the
// current directory is not among them.
TEST(ProgramLookup, BareNameIsLookedForInTheHostsSystemAndPathFoldersInOrder) {
  Disk disk;
  Lookup none = Find(disk, L"findstr /N /I /P  foo");
  EXPECT_EQ(none.result, ProgramLookup::kMissing);
  EXPECT_EQ(none.program, L"");
  EXPECT_EQ(disk.asked, (std::vector<std::wstring>{
                            L"C:\\Host\\findstr.exe", L"C:\\Windows\\system32\\findstr.exe",
                            L"C:\\Windows\\findstr.exe", L"C:\\bin\\findstr.exe",
                            L"D:\\tools\\findstr.exe"}));
  disk.files = {L"C:\\Windows\\system32\\findstr.exe", L"D:\\tools\\findstr.exe"};
  Lookup found = Find(disk, L"findstr /N /I /P  foo");
  EXPECT_EQ(found.result, ProgramLookup::kFound);
  EXPECT_EQ(found.program, L"C:\\Windows\\system32\\findstr.exe");
  disk.files = {L"D:\\tools\\rg.exe"};
  EXPECT_EQ(Find(disk, L"rg --line-number x").program, L"D:\\tools\\rg.exe");
}

// A quoted word is the program, blanks and all; otherwise the word ends at the first blank or tab.
// ".exe" is added only to a word without an extension.
TEST(ProgramLookup, FirstWordIsSplitAsTheSystemSplitsIt) {
  Disk disk;
  disk.files = {L"C:\\bin\\my tool.exe", L"C:\\bin\\rg.exe", L"C:\\bin\\grep.com",
                L"C:\\bin\\a.b"};
  EXPECT_EQ(Find(disk, L"\"my tool\" --x").program, L"C:\\bin\\my tool.exe");
  EXPECT_EQ(Find(disk, L"rg\t--x").program, L"C:\\bin\\rg.exe");
  EXPECT_EQ(Find(disk, L"\"rg.exe\"").program, L"C:\\bin\\rg.exe");
  EXPECT_EQ(Find(disk, L"grep.com -rn").program, L"C:\\bin\\grep.com");
  EXPECT_EQ(Find(disk, L"a.b").program, L"C:\\bin\\a.b");
  disk.asked.clear();
  EXPECT_EQ(Find(disk, L"grep -rn").result, ProgramLookup::kMissing);  // grep.exe is not there
  EXPECT_EQ(disk.asked.back(), L"D:\\tools\\grep.exe");
}

// A user who names a folder (the current directory on purpose, a relative one, a drive) gets what
// the system starts; so does an empty first word.
TEST(ProgramLookup, WordThatNamesAFolderIsStartedAsTyped) {
  for (const wchar_t* line : {L".\\findstr.exe /N", L"tools\\rg.exe x", L"tools/rg x",
                              L"\"C:\\Program Files\\rg.exe\" x", L"C:rg.exe", L" leading",
                              L"", L"\"\" x"}) {
    Disk disk;
    Lookup lookup = Find(disk, line);
    EXPECT_EQ(lookup.result, ProgramLookup::kAsTyped) << line;
    EXPECT_TRUE(disk.asked.empty()) << line;
  }
}

// Only fully qualified PATH entries count: an empty one, ".", a relative folder, one relative to a
// drive's current folder ("C:bin") or to the current drive's root ("\bin") would each be the
// current directory's business.
TEST(ProgramLookup, EmptyDotAndRelativePathEntriesAreNeverSearched) {
  Disk disk;
  disk.files = {L"\\\\server\\share\\bin\\rg.exe"};
  Lookup lookup = Find(disk, L"rg x", L";.;bin;.\\bin;C:bin;\\bin;;\"D:\\quoted\";\\\\server\\share\\bin");
  EXPECT_EQ(lookup.result, ProgramLookup::kFound);
  EXPECT_EQ(lookup.program, L"\\\\server\\share\\bin\\rg.exe");
  EXPECT_EQ(disk.asked, (std::vector<std::wstring>{
                            L"C:\\Host\\rg.exe", L"C:\\Windows\\system32\\rg.exe",
                            L"C:\\Windows\\rg.exe", L"D:\\quoted\\rg.exe",
                            L"\\\\server\\share\\bin\\rg.exe"}));
}

// A candidate that does not fit the system's path limit is passed over, never cut to another.
TEST(ProgramLookup, CandidateTooLongForThePathLimitIsPassedOver) {
  std::wstring deep = L"C:\\" + std::wstring(250, L'd');
  Disk disk;
  disk.files = {deep + L"\\rg.exe", L"D:\\tools\\rg.exe"};
  EXPECT_EQ(Find(disk, L"rg", (deep + L";D:\\tools").c_str()).program, L"D:\\tools\\rg.exe");
  EXPECT_EQ(Find(disk, (std::wstring(300, L'r') + L" x").c_str()).result, ProgramLookup::kMissing);
}

}  // namespace
