// Listing a search end to end: real files, the real pipe, sgrep or the scripted child.
#include <algorithm>

#include "host/texts.h"
#include "tests/wine/fixture.h"

namespace {

using Names = std::vector<std::wstring>;

class ListingTest : public PluginTest {
 protected:
  void TearDown() override {
    if (!savedDirectory.empty()) SetCurrentDirectoryW(savedDirectory.c_str());
    PluginTest::TearDown();
  }
  // The search runs in the host's current directory, as in the file manager.
  void SearchIn(const std::wstring& directory) {
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    savedDirectory = current;
    SetCurrentDirectoryW(directory.c_str());
  }
  std::wstring savedDirectory;
};

// The scripted child's escapes want each backslash doubled.
std::wstring Escaped(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) escaped += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
  return escaped;
}

WIN32_FILE_ATTRIBUTE_DATA Attributes(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  return data;
}

// 検索コマンドの出力に「ファイル名:行番号:」で始まる行はありませんでした。
const std::wstring kNoEntry =
    L"\u691c\u7d22\u30b3\u30de\u30f3\u30c9\u306e\u51fa\u529b\u306b\u300c\u30d5\u30a1\u30a4\u30eb"
    L"\u540d:\u884c\u756a\u53f7:\u300d\u3067\u59cb\u307e\u308b\u884c\u306f\u3042\u308a\u307e\u305b"
    L"\u3093\u3067\u3057\u305f\u3002";

std::string NumberedLines(int count, int matchA, int matchB) {
  std::string text;
  for (int i = 1; i <= count; ++i)
    text += (i == matchA || i == matchB ? "  call Foo();\r\n" : "  other();\r\n");
  return text;
}

TEST_F(ListingTest, RoadOfOneSearch) {
  std::wstring source = folder + L"src";
  CreateDirectoryW(source.c_str(), nullptr);
  WriteBytes(source + L"\\main.c", NumberedLines(50, 42, 0));
  WriteBytes(source + L"\\other.c", "nothing here\r\n");
  Load({{L"GrepCommand", SgrepCommand()}});
  SearchIn(source);
  HANDLE handle = Open(L"\"" + source + L"\" foo *.c");
  EXPECT_EQ(std::wstring(Context(handle).commandLine), SgrepCommand() + L"  foo *.c");
  Listed listed = List(handle);
  ASSERT_EQ(listed.names, (Names{L"main.c:42"}));
  WIN32_FILE_ATTRIBUTE_DATA file = Attributes(source + L"\\main.c");
  const FindRecord& entry = listed.records[0];
  EXPECT_EQ(entry.sizeLow, file.nFileSizeLow);
  EXPECT_EQ(entry.sizeHigh, 0u);
  EXPECT_EQ(entry.writeTimeLow, file.ftLastWriteTime.dwLowDateTime);
  EXPECT_EQ(entry.writeTimeHigh, file.ftLastWriteTime.dwHighDateTime);
  EXPECT_EQ(entry.attributes, file.dwFileAttributes);
  EXPECT_EQ(api().execute(handle, L"/main.c:42"), 1);
  EXPECT_EQ(host->Executed(), (Names{L"&EDIT \"" + source + L"\\main.c\""}));
  EXPECT_EQ(api().close(handle), 1);
}

// sgrep without /P prints, as grep-like tools do, a notice for a binary file that matches, one
// file's matches at a time: the notice is echoed, and the matches after it are all listed.
TEST_F(ListingTest, ToolsNoticeAmongTheResultsIsEchoedAndTheRestListed) {
  std::wstring source = folder + L"src\\";
  CreateDirectoryW(source.c_str(), nullptr);
  WriteBytes(source + L"a.bin", std::string("x foo\0y\r\n", 9));
  WriteBytes(source + L"b.txt", "foo one\r\nnone\r\nfoo two\r\n");
  WriteBytes(source + L"c.txt", "foo\r\n");
  Load({{L"GrepCommand", L"\"" + ProgramDirectory() + L"sgrep.exe\" /N /I"},
        {L"MessageOutput", L"1"}});
  SearchIn(source);
  HANDLE handle = Open(L"\"" + source + L"\" foo a.bin *.txt");  // the binary file first
  Names names = List(handle).names;
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (Names{L"b.txt:1", L"b.txt:3", L"c.txt:1"}));
  Names printed = host->Printed();
  ASSERT_EQ(printed.size(), 6u);  // the header's two lines, the notice, three matches
  EXPECT_EQ(printed[2], L"a.bin: binary file matches (found \"\\0\" byte around offset 5)");
  EXPECT_EQ(host->Count(L"MesOk"), 1);
  api().close(handle);
}

// A tool's error shares the pipe with its results (ripgrep's for a folder that does not exist):
// among results it is passed over; alone, the listing says why it is empty and shows it.
TEST_F(ListingTest, ToolsErrorsArePassedOverAndAListingOfNothingElseSaysWhy) {
  HANDLE handle = OpenChild(
      L"out:a.txt:1:x\\r\\n "
      L"err:rg:\\x20nosuchdir:\\x20The\\x20system\\x20cannot\\x20find\\x20the\\x20"
      L"file\\x20specified.\\x20(os\\x20error\\x202)\\r\\n out:b.txt:2:y\\r\\n");
  EXPECT_EQ(List(handle).names, (Names{L"a.txt:1", L"b.txt:2"}));
  EXPECT_TRUE(host->Printed().empty());
  api().close(handle);
  for (bool messageOutput : {false, true}) {
    host->calls.clear();
    handle = OpenChild(
        L"err:rg:\\x20*.h:\\x20IO\\x20error\\x20(os\\x20error\\x20123)\\r\\n "
        L"out:.\\\\inc\\\\k.h:#define\\x20A\\x20B:1\\n",
        messageOutput);
    Listed listed = List(handle);
    EXPECT_TRUE(listed.names.empty());
    EXPECT_EQ(listed.last, -1);
    Names lines = {L"rg: *.h: IO error (os error 123)", L".\\inc\\k.h:#define A B:1"};
    Names expected = {kNoEntry, lines[0], lines[1]};  // the reason, then what was printed
    if (messageOutput) expected = {L"", kListingHeader, lines[0], lines[1], kNoEntry};
    EXPECT_EQ(host->Printed(), expected);
    EXPECT_EQ(host->Count(L"MesOk"), messageOutput ? 1 : 0);
    api().close(handle);
  }
}

// sgrep prints as such tools do: an error on standard error for a folder that does not exist,
// and without /N no line numbers at all.
TEST_F(ListingTest, SgrepsErrorsAndMatchesWithoutLineNumbers) {
  WriteBytes(folder + L"a.txt", "foo: one\r\n");
  WriteBytes(folder + L"b.txt", "two foo\r\n");
  SearchIn(folder);
  Load({{L"GrepCommand", SgrepCommand()}});
  HANDLE handle = Open(L"\"" + folder + L"\" foo a.txt nosuchdir\\*.txt b.txt");
  EXPECT_EQ(List(handle).names, (Names{L"a.txt:1", L"b.txt:1"}));
  EXPECT_TRUE(host->Printed().empty());
  api().close(handle);
  WriteConfig({{L"GrepCommand", L"\"" + ProgramDirectory() + L"sgrep.exe\" /I"}});
  handle = Open(L"\"" + folder + L"\" foo a.txt nosuchdir\\*.txt b.txt");
  EXPECT_TRUE(List(handle).names.empty());
  Names printed = host->Printed();
  ASSERT_EQ(printed.size(), 4u);
  EXPECT_EQ(printed[0], kNoEntry);
  EXPECT_EQ(printed[1], L"a.txt:foo: one");
  EXPECT_EQ(printed[2].substr(0, 45), L"sgrep: nosuchdir\\*.txt: cannot open (os error");
  EXPECT_EQ(printed[3], L"b.txt:two foo");
  api().close(handle);
}

TEST_F(ListingTest, ReasonShowsAScreenfulOfLinesAndHowManyMore) {
  HANDLE handle = OpenChild(L"repeat:13:no\\x20number:here\\r\\n");
  List(handle);
  Names printed = host->Printed();
  ASSERT_EQ(printed.size(), 12u);
  EXPECT_EQ(printed[0], kNoEntry);
  EXPECT_EQ(printed[10], L"no number:here");
  EXPECT_EQ(printed[11], L"\uff08\u307b\u304b 3 \u884c\uff09");  // （ほか 3 行）
  api().close(handle);
}

// Bytes that are no character of the code page show as replacement characters, never as an empty
// line.
TEST_F(ListingTest, EchoOfBytesThatAreNoCharacterIsNeverEmpty) {
  Load();
  for (const wchar_t* codePage : {L"932", L"65001"}) {
    host->calls.clear();
    WriteConfig(
        {{L"GrepCommand", ChildCommand()}, {L"MessageOutput", L"1"}, {L"CodePage", codePage}});
    HANDLE handle = Open(L"\"" + folder + L"\" out:a.txt:1:\\xff\\xfe\\x20ok\\r\\n");
    EXPECT_EQ(List(handle).names, (Names{L"a.txt:1"}));
    Names printed = host->Printed();
    ASSERT_EQ(printed.size(), 3u);
    std::wstring echo = printed[2];
    ASSERT_EQ(echo.size(), 13u) << ToUtf8(codePage);
    EXPECT_EQ(echo.substr(0, 8), L"a.txt:1:");
    EXPECT_EQ(echo.substr(10), L" ok");
    for (wchar_t c : echo.substr(8, 2)) EXPECT_TRUE(c == L'?' || c == 0xfffd) << ToUtf8(codePage);
    api().close(handle);
  }
}

TEST_F(ListingTest, NoMatchesEndsAtOnceWithMesOk) {
  WriteBytes(folder + L"a.txt", "nothing\r\n");
  Load({{L"GrepCommand", SgrepCommand()}, {L"MessageOutput", L"1"}});
  SearchIn(folder);
  HANDLE handle = Open(L"\"" + folder + L"\" absent *.txt");
  Listed listed = List(handle);
  EXPECT_TRUE(listed.names.empty());
  EXPECT_EQ(listed.last, -1);
  EXPECT_EQ(host->Printed(), (Names{L"", kListingHeader}));
  EXPECT_EQ(host->Count(L"MesOk"), 1);
  api().close(handle);
}

// Lines that name no entry are what grep-like tools print among their results, in bursts as
// they print: a notice about a binary file, an error, an empty line, a context separator.
TEST_F(ListingTest, EchoShowsHeaderEveryLineInOrderThenMesOk) {
  HANDLE handle = OpenChild(
      L"out:a.txt:1:one\\r\\n sleep:100 out:b.txt:2:two\\n out:not\\x20a\\x20result\\r\\n "
      L"out:c.txt:3:three\\r\\n sleep:20 "
      L"out:edge\\\\nul\\\\binary.bin:\\x20binary\\x20file\\x20matches\\r\\n\\r\\n sleep:20 "
      L"out:d.txt:4:four\\n--\\n out:e.txt:5:five\\r\\n sleep:150 out:\\r\\n",
      /*messageOutput=*/true);
  Listed listed = List(handle);
  EXPECT_EQ(listed.names, (Names{L"a.txt:1", L"b.txt:2", L"c.txt:3", L"d.txt:4", L"e.txt:5"}));
  std::vector<std::wstring> calls;
  for (const HostCall& call : host->calls) calls.push_back(call.method + L":" + call.text);
  EXPECT_EQ(calls, (Names{L"MesPrint:", std::wstring(L"MesPrint:") + kListingHeader,
                          L"MesPrint:a.txt:1:one", L"MesPrint:b.txt:2:two",
                          L"MesPrint:not a result", L"MesPrint:c.txt:3:three",
                          L"MesPrint:edge\\nul\\binary.bin: binary file matches", L"MesPrint:",
                          L"MesPrint:d.txt:4:four", L"MesPrint:--", L"MesPrint:e.txt:5:five",
                          L"MesPrint:", L"MesOk:"}));
  api().close(handle);
}

TEST_F(ListingTest, MissingFileGetsTheFailureValues) {
  HANDLE handle = OpenChild(L"out:missing.txt:4:x\\r\\n");
  Listed listed = List(handle);
  ASSERT_EQ(listed.names, (Names{L"missing.txt:4"}));
  const FindRecord& r = listed.records[0];
  EXPECT_EQ(r.attributes, static_cast<uint32_t>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(r.sizeLow | r.sizeHigh | r.writeTimeLow | r.writeTimeHigh, 0u);
  api().close(handle);
}

// A search program given an absolute directory prints absolute names: each keeps its line number,
// and its real file is that path, not one below the search's directory.
TEST_F(ListingTest, AbsolutePathListsWithItsLineAndOpensThatFile) {
  std::wstring elsewhere = MakeTempDirectory();
  std::wstring file = elsewhere + L"a.txt";
  WriteBytes(file, "0123456789");
  HANDLE handle = OpenChild(L"out:" + Escaped(file) + L":5:text\\r\\n");
  Listed listed = List(handle);
  ASSERT_EQ(listed.names, (Names{file + L":5"}));
  WIN32_FILE_ATTRIBUTE_DATA data = Attributes(file);
  EXPECT_EQ(listed.records[0].sizeLow, 10u);
  EXPECT_EQ(listed.records[0].writeTimeLow, data.ftLastWriteTime.dwLowDateTime);
  EXPECT_EQ(listed.records[0].attributes, data.dwFileAttributes);
  EXPECT_EQ(api().execute(handle, (L"/" + listed.names[0]).c_str()), 1);
  EXPECT_EQ(host->Executed(), (Names{L"&EDIT \"" + file + L"\""}));
  wchar_t copied[kPathCapacity] = {};
  EXPECT_EQ(
      api().intCopyTo(handle, listed.names[0].c_str(), nullptr, copied, kPathCapacity, nullptr), 1);
  EXPECT_EQ(std::wstring(copied), file);
  api().close(handle);
  RemoveTree(elsewhere);
}

// The same names printed in code page 932 and in UTF-8 (with a byte-order mark) list and echo the
// same once CodePage says which the search program prints.
TEST_F(ListingTest, Utf8OutputListsAndEchoesLikeCodePage932) {
  const wchar_t* cp932 = L"out:docs\\\\\\x83\\x81\\x83\\x82.txt:3:\\x8c\\x9f\\x8d\\xf5\\r\\n";
  const wchar_t* utf8 =
      L"out:\\xef\\xbb\\xbfdocs\\\\\\xe3\\x83\\xa1\\xe3\\x83\\xa2.txt:3:"
      L"\\xe6\\xa4\\x9c\\xe7\\xb4\\xa2\\r\\n";
  std::vector<Names> printed;
  Load();
  for (const wchar_t* codePage : {L"932", L"65001"}) {
    host->calls.clear();
    WriteConfig(
        {{L"GrepCommand", ChildCommand()}, {L"MessageOutput", L"1"}, {L"CodePage", codePage}});
    HANDLE handle = Open(L"\"" + folder + L"\" " + (codePage[0] == L'9' ? cp932 : utf8));
    EXPECT_EQ(List(handle).names, (Names{L"docs\\\u30e1\u30e2.txt:3"})) << ToUtf8(codePage);
    printed.push_back(host->Printed());
    api().close(handle);
  }
  EXPECT_EQ(printed[0], printed[1]);
  EXPECT_EQ(printed[1][2], L"docs\\\u30e1\u30e2.txt:3:\u691c\u7d22");
}

// A name longer than the record's 259 characters is no entry: cut there, it would name another
// file or folder, show its size, time and attributes, and open it. Here the cut would fall exactly
// on a real file and on a real folder.
TEST_F(ListingTest, NameTooLongForTheFieldIsPassedOverNotCutToAnotherFile) {
  std::wstring prefixFile = folder + std::wstring(kPathCapacity - 1 - folder.size(), L'f');
  std::wstring prefixFolder = folder + std::wstring(kPathCapacity - 1 - folder.size(), L'd');
  WriteBytes(prefixFile, "0123456");
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + prefixFolder).c_str(), nullptr));
  ASSERT_NE(GetFileAttributesW(prefixFile.c_str()), INVALID_FILE_ATTRIBUTES);
  WriteBytes(folder + L"a.txt", "a");
  HANDLE handle =
      OpenChild(L"out:" + Escaped(prefixFile) + L"x.txt:5:text\\r\\n out:" + Escaped(prefixFolder) +
                    L"\\\\more.txt:3:y\\r\\n out:a.txt:1:x\\r\\n",
                /*messageOutput=*/true);
  Listed listed = List(handle);
  EXPECT_EQ(listed.names, (Names{L"a.txt:1"}));
  ASSERT_EQ(listed.records.size(), 1u);
  EXPECT_EQ(listed.records[0].sizeLow, 1u);
  EXPECT_EQ(host->Printed().size(), 5u);  // the header, then all three lines as read
  EXPECT_EQ(host->Count(L"MesOk"), 1);
  api().close(handle);
  RemoveDirectoryW((L"\\\\?\\" + prefixFolder).c_str());
}

// A Japanese name takes two bytes a character in code page 932 and three in UTF-8: a line whose
// second colon lies past the 512 bytes buffered is passed over whole, and the next result listed.
TEST_F(ListingTest, NameLongerThanTheBufferIsPassedOverInEitherCodePage) {
  std::wstring utf8Of180, utf8Of100;
  for (int i = 0; i < 180; ++i) utf8Of180 += L"\\xe8\\xa1\\xa8";  // 表
  for (int i = 0; i < 100; ++i) utf8Of100 += L"\\xe8\\xa1\\xa8";
  Load();
  struct Case {
    const wchar_t* codePage;
    std::wstring tooLong, fits;
    std::wstring listed;
  } cases[] = {
      {L"65001", utf8Of180, utf8Of100, std::wstring(100, L'\u8868')},
      {L"932", std::wstring(300, L'\u8868'), std::wstring(200, L'\u8868'),
       std::wstring(200, L'\u8868')},
  };
  for (const Case& c : cases) {
    WriteConfig({{L"GrepCommand", ChildCommand()}, {L"CodePage", c.codePage}});
    HANDLE handle = Open(L"\"" + folder + L"\" out:" + c.tooLong + L".txt:1:x\\r\\n out:" + c.fits +
                         L".txt:3:y\\r\\n out:" + c.tooLong + L"\\\\b.txt:4:z\\n out:a.txt:2:w\\n");
    EXPECT_EQ(List(handle).names, (Names{c.listed + L".txt:3", L"a.txt:2"})) << ToUtf8(c.codePage);
    api().close(handle);
  }
}

// One file's matches in a row share one look at its facts, the dearest call of a listing: the
// second entry shows what the first found even after the file changed between the two calls. A
// match of another file in between makes the next one look again.
TEST_F(ListingTest, OneFilesMatchesInARowShareOneLookAtItsFacts) {
  WriteBytes(folder + L"a.txt", "1");
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\na.txt:2:x\\nb.txt:3:x\\na.txt:4:x\\n");
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  EXPECT_EQ(record.sizeLow, 1u);
  WriteBytes(folder + L"a.txt", "55555");
  ASSERT_EQ(api().findNext(handle, &record), 1);
  EXPECT_STREQ(record.name, L"a.txt:2");
  EXPECT_EQ(record.sizeLow, 1u);  // not asked again
  ASSERT_EQ(api().findNext(handle, &record), 1);
  ASSERT_EQ(api().findNext(handle, &record), 1);
  EXPECT_STREQ(record.name, L"a.txt:4");
  EXPECT_EQ(record.sizeLow, 5u);
  api().close(handle);
}

TEST_F(ListingTest, EachListingLooksAtTheFilesAfresh) {
  WriteBytes(folder + L"a.txt", "1");
  WriteBytes(folder + L"b.txt", "22");
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\na.txt:2:x\\nb.txt:3:x\\nc.txt:4:x\\na.txt:5:x\\n");
  auto sizes = [&] {
    std::vector<uint32_t> found;
    for (const FindRecord& r : List(handle).records) found.push_back(r.sizeLow);
    return found;
  };
  EXPECT_EQ(sizes(), (std::vector<uint32_t>{1, 1, 2, 0, 1}));
  WriteBytes(folder + L"a.txt", "55555");  // the last entry and the next listing's first
  EXPECT_EQ(sizes(), (std::vector<uint32_t>{5, 5, 2, 0, 5}));
  api().close(handle);
}

TEST_F(ListingTest, RealPathTooLongForItsFieldGetsTheFailureValues) {
  std::wstring name(240, L'n');
  WriteBytes(folder + L"x.txt", "x");
  HANDLE handle = OpenChild(L"out:" + name + L":1:x\\r\\nx.txt:2:y\\r\\n");
  Listed listed = List(handle);
  ASSERT_EQ(listed.names.size(), 2u);
  EXPECT_EQ(listed.records[0].attributes, static_cast<uint32_t>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(listed.records[1].sizeLow, 1u);  // the next, short one is found
  api().close(handle);
}

// An entry is with the host as soon as its line is cut, however long the search then stays silent
// (a search going on through files without matches). Before, it came with the next match.
TEST_F(ListingTest, EntryFollowedByASilenceIsHandedOverAtOnce) {
  HANDLE handle = OpenChild(L"stamp sleep:6000 out:b.txt:2:y\\r\\n");
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  LONGLONG stamp = _wtoi64(record.name + 10);  // stamp.txt:COUNTER
  double waited = static_cast<double>(now.QuadPart - stamp) * 1000.0 / frequency.QuadPart;
  std::printf("the entry was with the host %.1f ms after its line was written\n", waited);
  EXPECT_LT(waited, 100.0);  // the poll's own interval, at most; the silence after it took 6 s
  api().close(handle);
}

// Escape during that silence ends the listing, and takes back nothing: the entry cut before it
// was handed over with its echo, and the next call meets the Escape and MesOk.
TEST_F(ListingTest, EscapeDuringASilenceKeepsTheEntryAndIsFollowedByMesOk) {
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\r\\n hang", /*messageOutput=*/true);
  ForgetEscape();
  std::thread escape = PressEscapeAfter(1000);
  FindRecord record;
  int first = api().findFirst(handle, nullptr, &record);
  std::wstring name = record.name;
  int next = first == 1 ? api().findNext(handle, &record) : first;
  escape.join();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(name, L"a.txt:1");
  EXPECT_EQ(next, -1);
  std::vector<std::wstring> calls;
  for (const HostCall& call : host->calls) calls.push_back(call.method + L":" + call.text);
  EXPECT_EQ(calls,
            (Names{L"MesPrint:", std::wstring(L"MesPrint:") + kListingHeader, L"MesPrint:a.txt:1:x",
                   L"MesPrint:\u51e6\u7406\u3092\u4e2d\u65ad\u3057\u307e\u3057\u305f", L"MesOk:"}));
  EXPECT_EQ(WaitForSingleObject(Context(handle).process, 5000), WAIT_OBJECT_0);
  api().close(handle);
}

TEST_F(ListingTest, NullRecordEndsWithoutConsumingALineOrMesOk) {
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\r\\nb.txt:2:y\\r\\n", /*messageOutput=*/true);
  EXPECT_EQ(api().findFirst(handle, nullptr, nullptr), -1);
  EXPECT_EQ(api().findNext(handle, nullptr), -1);
  EXPECT_EQ(host->Count(L"MesOk"), 0);
  FindRecord record;
  ASSERT_EQ(api().findNext(handle, &record), 1);
  EXPECT_STREQ(record.name, L"a.txt:1");
  api().close(handle);
}

TEST_F(ListingTest, NothingPastTheRecordIsTouchedAndEndLeavesTheFieldsAlone) {
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\r\\n");
  std::vector<BYTE> record(600, 0xcc);
  auto* r = reinterpret_cast<FindRecord*>(record.data());
  ASSERT_EQ(api().findFirst(handle, nullptr, r), 1);
  for (size_t i = 540; i < record.size(); ++i) ASSERT_EQ(record[i], 0xcc) << i;
  std::vector<BYTE> before(record.begin() + 520, record.end());
  EXPECT_EQ(api().findNext(handle, r), -1);
  EXPECT_EQ(std::vector<BYTE>(record.begin() + 520, record.end()), before);
  api().close(handle);
}

TEST_F(ListingTest, SecondFindFirstStartsAFreshRunWithoutLeaking) {
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\r\\nb.txt:2:y\\r\\nc.txt:3:z\\r\\n");
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  unsigned before = MeasureUsage().handles;
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
    EXPECT_STREQ(record.name, L"a.txt:1");  // nothing of the previous run's output
  }
  EXPECT_EQ(MeasureUsage().handles, before);
  EXPECT_EQ(List(handle).names, (Names{L"a.txt:1", L"b.txt:2", L"c.txt:3"}));
  api().close(handle);
}

TEST_F(ListingTest, CloseWhileTheChildStillRunsDoesNotWaitForIt) {
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\r\\nb.txt:2:y\\r\\n forever");
  FindRecord record;
  ASSERT_EQ(api().findFirst(handle, nullptr, &record), 1);
  HANDLE process = nullptr;
  DuplicateHandle(GetCurrentProcess(), Context(handle).process, GetCurrentProcess(), &process, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  DWORD started = GetTickCount();
  EXPECT_EQ(api().close(handle), 1);
  EXPECT_LT(GetTickCount() - started, 1000u);
  // Its pipe is broken now: the next write fails and it ends.
  EXPECT_EQ(WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
  CloseHandle(process);
}

}  // namespace
