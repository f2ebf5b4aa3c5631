// Opening and closing a search through the DLL, with real sarvik.ini files beside it.
#include "tests/wine/fixture.h"

namespace {

class OpenTest : public PluginTest {};

const std::wstring kConfigEntry =
    L"ERROR: sarvik.ini \u306e\u4ee5\u4e0b\u306e\u5185\u5bb9\u306e\u7b87\u6240\u3092\u78ba"
    L"\u8a8d\u3057\u3066\u304f\u3060\u3055\u3044\u3002";

const std::wstring kQuoteMessage =
    L"ERROR : \u7b2c 1 \u5f15\u6570\u306e path \u306f\u300c\"\u300d\u3067\u56f2\u3093\u3067"
    L"\u304f\u3060\u3055\u3044\u3002";

TEST_F(OpenTest, WithoutAFileTheDefaultsApply) {
  Load();
  HANDLE handle = Open(L"\"C:\\work\" foo");
  EXPECT_STREQ(Context(handle).commandLine, L"findstr /N /I /P  foo");
  EXPECT_STREQ(Context(handle).baseDirectory, L"C:\\work");
  EXPECT_EQ(Context(handle).messageOutput, 0);
  EXPECT_EQ(std::wstring(Context(handle).configPath), folder + L"sarvik.ini");
  EXPECT_EQ(api().close(handle), 1);
  EXPECT_TRUE(host->calls.empty());
}

TEST_F(OpenTest, PresentButEmptyKeyGivesAnEmptyText) {
  Load({{L"GrepCommand", L""}});
  HANDLE handle = Open(L"\"C:\\work\" foo");
  EXPECT_STREQ(Context(handle).commandLine, L"  foo");
  api().close(handle);
}

TEST_F(OpenTest, ValuesAreTakenAsTheProfileReaderGivesThem) {
  Load({{L"GrepCommand", L"   \"  grep -n \"   "}});
  HANDLE handle = Open(L"\"C:\\work\" foo");
  EXPECT_STREQ(Context(handle).commandLine, L"  grep -n   foo");
  api().close(handle);
  // A command that begins and ends with a quote keeps them only inside one more pair.
  const std::wstring command = L"\"C:\\Program Files\\rg.exe\" -n --glob \"*.h\"";
  for (const std::wstring& value : {command, L"\"" + command + L"\""}) {
    WriteConfig({{L"GrepCommand", value}});
    handle = Open(L"\"C:\\work\" foo");
    EXPECT_EQ(std::wstring(Context(handle).commandLine),
              (value == command ? command.substr(1, command.size() - 2) : command) + L"  foo");
    api().close(handle);
  }
}

TEST_F(OpenTest, MessageOutputIsOnOnlyForALeadingOne) {
  Load();
  struct Row {
    const wchar_t* value;
    int expected;
  } rows[] = {{L"1", 1}, {L"1x", 1}, {L"\" 1\"", 0}, {L"yes", 0}, {L"true", 0}, {L"0", 0}};
  for (const Row& row : rows) {
    WriteConfig({{L"MessageOutput", row.value}});
    HANDLE handle = Open(L"\"d\" foo");
    EXPECT_EQ(Context(handle).messageOutput, row.expected) << ToUtf8(row.value);
    api().close(handle);
  }
}

TEST_F(OpenTest, LongestGrepCommandThatCanOpenHas8190Characters) {
  Load({{L"GrepCommand", std::wstring(8190, L'g')}});
  HANDLE handle = Open(L"\"d\"a");
  EXPECT_EQ(std::wcslen(Context(handle).commandLine), 8192u);
  api().close(handle);
  for (size_t length : {8191u, 9000u}) {
    WriteConfig({{L"GrepCommand", std::wstring(length, L'g')}});
    BYTE hostRecord[kHostRecordSize] = {};
    EXPECT_EQ(api().open(L"\"d\"a", hostRecord, &openResult), nullptr) << length;
  }
  EXPECT_TRUE(host->calls.empty());  // refused without a message
}

TEST_F(OpenTest, ChangedGrepCommandIsUsedByTheNextOpenOnly) {
  Load({{L"GrepCommand", L"first"}});
  HANDLE first = Open(L"\"d\" foo");
  WriteConfig({{L"GrepCommand", L"second"}});
  HANDLE second = Open(L"\"d\" foo");
  EXPECT_STREQ(Context(first).commandLine, L"first  foo");
  EXPECT_STREQ(Context(second).commandLine, L"second  foo");
  api().close(first);
  api().close(second);
}

TEST_F(OpenTest, UnusableCodePageFailsTheOpenWithTheEntryNamed) {
  Load();
  BYTE hostRecord[kHostRecordSize] = {};
  for (const wchar_t* value : {L"utf-8", L"1200", L"65000", L"12345", L"0", L""}) {
    host->calls.clear();
    WriteConfig({{L"CodePage", value}});
    EXPECT_EQ(api().open(L"\"d\" foo", hostRecord, &openResult), nullptr) << ToUtf8(value);
    EXPECT_EQ(host->Printed(),
              (std::vector<std::wstring>{kConfigEntry, L"CodePage=" + std::wstring(value)}));
  }
  for (const wchar_t* value : {L"932", L"65001", L"1252", L"936"}) {
    WriteConfig({{L"CodePage", value}});
    HANDLE handle = Open(L"\"d\" foo");
    EXPECT_EQ(Context(handle).encoding.codePage, wcstoul(value, nullptr, 10));
    api().close(handle);
  }
}

TEST_F(OpenTest, ArgumentWithoutQuotedDirectoryPrintsTheMessage) {
  Load({{L"MessageOutput", L"0"}});
  BYTE hostRecord[kHostRecordSize] = {};
  EXPECT_EQ(api().open(L"C:\\work foo", hostRecord, &openResult), nullptr);
  EXPECT_EQ(api().open(L"\"C:\\work\"", hostRecord, &openResult), nullptr);
  EXPECT_EQ(host->Printed(), (std::vector<std::wstring>{kQuoteMessage, kQuoteMessage}));
}

TEST_F(OpenTest, OpenResultRecordIsFilledAsTheHostReadsIt) {
  Load();
  std::vector<BYTE> record(1100, 0xcc);
  BYTE hostRecord[kHostRecordSize] = {};
  HANDLE handle = api().open(L"\"C:\\work\" foo", hostRecord,
                             reinterpret_cast<OpenResultRecord*>(record.data()));
  ASSERT_NE(handle, nullptr);
  std::vector<BYTE> expected(record.size(), 0xcc);
  auto put = [&](size_t at, const std::wstring& text) {
    memcpy(&expected[at], text.data(), text.size() * 2);
  };
  put(0, std::wstring(L"C:\\work") + std::wstring(253, L'\0'));
  put(520, std::wstring(L"/\0", 2));
  put(1040, std::wstring(L"grep \u7d50\u679c\0", 8));
  EXPECT_EQ(record, expected);
  api().close(handle);
}

TEST_F(OpenTest, HostRecordIsCopiedIntoTheContext) {
  Load();
  BYTE hostRecord[kHostRecordSize];
  for (size_t i = 0; i < kHostRecordSize; ++i) hostRecord[i] = static_cast<BYTE>(i * 7);
  HANDLE handle = api().open(L"\"d\" x", hostRecord, &openResult);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(memcmp(Context(handle).hostRecord, hostRecord, kHostRecordSize), 0);
  api().close(handle);
}

TEST_F(OpenTest, ModuleDirectoryTooLongForTheSettingsPathReadsNoFile) {
  // 250 characters of folder: "s.dll" fits a path, "sarvik.ini" does not.
  std::wstring deep = folder;
  for (size_t needed = 250 - deep.size(); needed > 0;) {
    size_t take = std::min<size_t>(needed, 100);
    if (needed - take == 1) --take;  // never leave room for a lone backslash
    deep += std::wstring(take - 1, L'x') + L"\\";
    CreateDirectoryW(deep.c_str(), nullptr);
    needed -= take;
  }
  ASSERT_EQ(deep.size(), 250u);
  std::wstring savedFolder = folder;
  folder = deep;
  Load({{L"GrepCommand", L"from-the-file"}}, true, L"s.dll");
  HANDLE handle = Open(L"\"d\" foo");
  EXPECT_STREQ(Context(handle).configPath, L"");
  EXPECT_STREQ(Context(handle).commandLine, L"findstr /N /I /P  foo");
  api().close(handle);
  host.reset();
  folder = savedFolder;
}

TEST_F(OpenTest, TenThousandOpensAndClosesLeaveNothingBehind) {
  Load({{L"MessageOutput", L"1"}});
  for (int i = 0; i < 100; ++i) api().close(Open(L"\"C:\\work\" foo"));  // warm up
  const int opens = ShortSoak() ? 1000 : 10000;
  Usage before = MeasureUsage();
  for (int i = 0; i < opens; ++i) {
    HANDLE handle = Open(L"\"C:\\work\" foo");
    ASSERT_EQ(api().close(handle), 1);
  }
  Usage after = MeasureUsage();
  EXPECT_EQ(after.handles, before.handles);
  // The heap may keep a page or two it already had; a leaked 18 KB context per open would show
  // as 18 MB even in the short run.
  EXPECT_LT(after.privateBytes, before.privateBytes + 256 * 1024);
  ASSERT_GT(before.handles, 0u);  // the measure itself works
  std::printf("%d opens: handles %u -> %u, private bytes %lu -> %lu\n", opens, before.handles,
              after.handles, static_cast<unsigned long>(before.privateBytes),
              static_cast<unsigned long>(after.privateBytes));
}

}  // namespace
