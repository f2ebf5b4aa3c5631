#include "plugin/entry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "common/real_path.h"

namespace {

std::unique_ptr<SearchContext> ContextFor(const wchar_t* baseDirectory) {
  auto context = std::make_unique<SearchContext>();
  memset(context.get(), 0, sizeof(SearchContext));
  CopyText(context->baseDirectory, baseDirectory);
  return context;
}

struct Built {
  EntryCommandOutcome outcome;
  std::wstring command;
};

Built Build(const wchar_t* entryTemplate, const wchar_t* entryPath = L"/src\\a.c:12",
            const wchar_t* base = L"C:\\work") {
  auto context = ContextFor(base);
  wchar_t command[kEntryCommandCapacity];
  wmemset(command, L'#', kEntryCommandCapacity);
  EntryCommandOutcome outcome = BuildEntryCommand(*context, entryPath, entryTemplate, command);
  return {outcome, command};
}

TEST(EntryTemplate, UsableShapesExpandInTheTemplatesOrder) {
  const std::wstring path = L"\"C:\\work\\src\\a.c\"";
  struct Row {
    const wchar_t* entryTemplate;
    std::wstring expected;
  } rows[] = {
      {L"&EDIT %s", L"&EDIT " + path},
      {L"&EXEC editor -n%d %s", L"&EXEC editor -n12 " + path},
      {L"&EXEC editor %s:%d", L"&EXEC editor " + path + L":12"},
      {L"%%PATH%% %d %s", L"%PATH% 12 " + path},
      {L"%s", path},
  };
  for (const Row& row : rows) {
    Built b = Build(row.entryTemplate);
    EXPECT_EQ(b.outcome, EntryCommandOutcome::kBuilt) << row.entryTemplate;
    EXPECT_EQ(b.command, row.expected) << row.entryTemplate;
  }
}

TEST(EntryTemplate, UnusableShapesAreRejected) {
  const wchar_t* unusable[] = {L"&EDIT %5d %s", L"&EDIT %d %ls",  L"&EDIT %S",   L"%s%s",
                               L"%d%d",         L"&EDIT %d",      L"&EDIT %s %", L"",
                               L"&EDIT",        L"&EDIT %% %s",   L"%s %%",      L"%x %d %s",
                               L"a%%d %s",      L"%d %s %",       L"%D %s",      L"&EDIT %s%s",
                               L"&EDIT %d%d",   L"&EDIT %x %d %s"};
  for (const wchar_t* t : unusable) {
    Built b = Build(t);
    EXPECT_EQ(b.outcome, EntryCommandOutcome::kBadTemplate) << t;
    EXPECT_EQ(b.command[0], 0) << t;
  }
}

TEST(EntryTemplate, RecognitionLooksOnlyAtTheLastTwoPercentSigns) {
  EXPECT_EQ(RecognizeTemplate(L"%5x %d %s").shape, TemplateShape::kLineThenPath);
  EXPECT_EQ(RecognizeTemplate(L"%s %d").shape, TemplateShape::kPathThenLine);
  EXPECT_EQ(RecognizeTemplate(L"only %s").shape, TemplateShape::kPath);
  EXPECT_EQ(RecognizeTemplate(L"%d").shape, TemplateShape::kUnusable);
}

TEST(EntryCommand, LineNumberFollowsTheLastColon) {
  // An absolute path is opened as it stands, its drive's colon kept; a UNC name likewise.
  EXPECT_EQ(Build(L"%d %s", L"/C:\\x.c:40").command, L"40 \"C:\\x.c\"");
  EXPECT_EQ(Build(L"%d %s", L"/d:/x.c").command, L"0 \"d:/x.c\"");
  EXPECT_EQ(Build(L"%d %s", L"/\\\\srv\\x.c:7").command, L"7 \"\\\\srv\\x.c\"");
  EXPECT_EQ(Build(L"%d %s", L"/C:x.c:2").command, L"2 \"C:\\work\\C:x.c\"");
  EXPECT_EQ(Build(L"%d %s", L"/a.c:").command, L"0 \"C:\\work\\a.c\"");
  EXPECT_EQ(Build(L"%d %s", L"/a.c: +7x").command, L"7 \"C:\\work\\a.c\"");
  EXPECT_EQ(Build(L"%d %s", L"/a.c").command, L"0 \"C:\\work\\a.c\"");  // no colon at all
  // Beyond 32 bits the number stays at the nearest end of %d's range.
  EXPECT_EQ(Build(L"%d %s", L"/a.c:99999999999").command, L"2147483647 \"C:\\work\\a.c\"");
  EXPECT_EQ(Build(L"%d %s", L"/a.c:-99999999999").command, L"-2147483648 \"C:\\work\\a.c\"");
}

TEST(EntryCommand, TooLongFailsCleanly) {
  std::wstring base(240, L'b');
  EXPECT_EQ(Build(L"%s", L"/short.c:1", base.c_str()).outcome, EntryCommandOutcome::kBuilt);
  std::wstring name = L"/" + std::wstring(20, L'n') + L":1";
  Built b = Build(L"%s", name.c_str(), base.c_str());  // 2 + 240 + 1 + 20 = 263 > 259
  EXPECT_EQ(b.outcome, EntryCommandOutcome::kTooLong);
  EXPECT_EQ(b.command[0], 0);
  std::wstring longTemplate = std::wstring(510, L'x') + L" %s";
  EXPECT_EQ(Build(longTemplate.c_str()).outcome, EntryCommandOutcome::kTooLong);
}

// Past the system's 260 characters an absolute real path still opens, as any other entry, when
// the expanded command fits the host's 520; a relative one does not.
TEST(EntryCommand, LongRealPathOpensWhenAbsoluteAndTheCommandFits) {
  std::wstring base = L"C:\\" + std::wstring(256, L'b');  // 259 characters
  std::wstring file(240, L'n');
  std::wstring entry = L"/" + file + L":1";
  Built b = Build(L"&EDIT %s", entry.c_str(), base.c_str());
  EXPECT_EQ(b.outcome, EntryCommandOutcome::kBuilt);
  EXPECT_EQ(b.command, L"&EDIT \"" + base + L"\\" + file + L"\"");  // 508 characters
  EXPECT_EQ(Build(L"&EXEC my-editor --line=%d %s", entry.c_str(), base.c_str()).outcome,
            EntryCommandOutcome::kTooLong);  // 527
  EXPECT_EQ(Build(L"&EDIT %s", entry.c_str(), base.c_str() + 3).outcome,
            EntryCommandOutcome::kTooLong);
}

TEST(EntryCommand, BadEntriesFailCleanly) {
  EXPECT_EQ(Build(L"%s", nullptr).outcome, EntryCommandOutcome::kBadEntry);
  EXPECT_EQ(Build(L"%s", L"").outcome, EntryCommandOutcome::kBadEntry);
  std::wstring huge = L"/" + std::wstring(260, L'n');
  EXPECT_EQ(Build(L"%s", huge.c_str()).outcome, EntryCommandOutcome::kBadEntry);
}

// Only an ASCII letter before the colon and a separator after it make a drive: the characters
// right beside A, Z, a and z in the code table, a digit and a non-ASCII letter do not.
TEST(EntryRealPath, OnlyALetterColonAndSeparatorMakeADrive) {
  struct Row {
    const wchar_t* name;
    const wchar_t* path;    // what FormRealPath gives below C:\w
    const wchar_t* opened;  // what the default template opens for "/" + name
  } rows[] = {
      {L"A:\\x.c:1", L"A:\\x.c", L"&EDIT \"A:\\x.c\""},
      {L"Z:/x.c:1", L"Z:/x.c", L"&EDIT \"Z:/x.c\""},
      {L"a:\\x.c:1", L"a:\\x.c", L"&EDIT \"a:\\x.c\""},
      {L"z:/x.c:1", L"z:/x.c", L"&EDIT \"z:/x.c\""},
      {L"@:\\x.c:1", L"C:\\w\\@", L"&EDIT \"C:\\w\\@:\\x.c\""},
      {L"[:\\x.c:1", L"C:\\w\\[", L"&EDIT \"C:\\w\\[:\\x.c\""},
      {L"`:\\x.c:1", L"C:\\w\\`", L"&EDIT \"C:\\w\\`:\\x.c\""},
      {L"{:\\x.c:1", L"C:\\w\\{", L"&EDIT \"C:\\w\\{:\\x.c\""},
      {L"1:\\x.c:1", L"C:\\w\\1", L"&EDIT \"C:\\w\\1:\\x.c\""},
      {L"\u00c4:\\x.c:1", L"C:\\w\\\u00c4", L"&EDIT \"C:\\w\\\u00c4:\\x.c\""},
      {L"C:x.c:1", L"C:\\w\\C", L"&EDIT \"C:\\w\\C:x.c\""},
  };
  for (const Row& row : rows) {
    wchar_t path[kPathCapacity];
    ASSERT_TRUE(FormRealPath(L"C:\\w", row.name, path, kPathCapacity));
    EXPECT_STREQ(path, row.path) << row.name;
    std::wstring entryPath = L"/" + std::wstring(row.name);
    EXPECT_EQ(Build(L"&EDIT %s", entryPath.c_str(), L"C:\\w").command, row.opened) << row.name;
  }
}

TEST(EntryCopyTo, FillsTheDestinationAndTerminatesOnlyWhenShorter) {
  auto context = ContextFor(L"C:\\work");
  wchar_t destination[16];
  wmemset(destination, L'#', 16);
  ASSERT_TRUE(FillRealPath(*context, L"/a.c:3", destination, 10));
  EXPECT_EQ(std::wstring(destination, 10), L"C:\\work\\/a");  // first character kept, no terminator
  EXPECT_EQ(destination[10], L'#');
  wmemset(destination, L'#', 16);
  ASSERT_TRUE(FillRealPath(*context, L"x:1", destination, 16));
  EXPECT_EQ(std::wstring(destination, 16), std::wstring(L"C:\\work\\x\0\0\0\0\0\0\0", 16));
  std::wstring tooLong(300, L'n');  // no entry's name
  EXPECT_FALSE(FillRealPath(*context, tooLong.c_str(), destination, 16));
  EXPECT_EQ(std::wstring(destination, 16), std::wstring(16, L'\0'));
  EXPECT_FALSE(FillRealPath(*context, nullptr, destination, 16));
}

TEST(EntryCopyTo, LongRealPathIsGivenWithinTheCapacityWhenAbsolute) {
  std::wstring base = L"C:\\" + std::wstring(256, L'b');
  std::wstring name = std::wstring(200, L'n') + L":7";
  std::wstring path = base + L"\\" + std::wstring(200, L'n');  // 460 characters
  auto context = ContextFor(base.c_str());
  std::vector<wchar_t> destination(600, L'#');
  ASSERT_TRUE(FillRealPath(*context, name.c_str(), destination.data(), 500));
  EXPECT_EQ(std::wstring(destination.data()), path);
  EXPECT_EQ(destination[500], L'#');
  ASSERT_TRUE(FillRealPath(*context, name.c_str(), destination.data(), kPathCapacity));
  EXPECT_EQ(std::wstring(destination.data(), kPathCapacity), path.substr(0, kPathCapacity));
  auto relative = ContextFor(base.c_str() + 3);
  EXPECT_FALSE(FillRealPath(*relative, name.c_str(), destination.data(), 500));
  EXPECT_EQ(std::wstring(destination.data(), 500), std::wstring(500, L'\0'));
}

}  // namespace
