// The real calls behind the reader, linked in directly: the multibyte conversion of entry names,
// and the wait over a real pipe.
#include <clocale>
#include <cstdio>
#include <memory>

#include "search/platform_win32.h"
#include "tests/wine/fixture.h"

namespace {

std::wstring Convert(const char* bytes, size_t capacity = kPathCapacity, uint32_t codePage = kCp932,
                     Decoded* decoded = nullptr) {
  wchar_t out[kPathCapacity + 8];
  wmemset(out, L'#', kPathCapacity + 8);
  Decoded result = Win32Reader().toWide(nullptr, codePage, out, capacity, bytes);
  if (decoded != nullptr) *decoded = result;
  EXPECT_EQ(out[capacity], L'#') << "wrote past the field";
  EXPECT_EQ(result != Decoded::kTooLong, out[0] != 0 || bytes[0] == 0)
      << "a cut text must be reported, and only then";
  size_t n = 0;
  while (n < capacity && out[n] != 0) ++n;
  EXPECT_LT(n, capacity) << "no terminator";
  return std::wstring(out, n);
}

TEST(SearchPlatform, NamesAreConvertedFromCodePage932) {
  setlocale(LC_ALL, "Japanese");
  EXPECT_EQ(Convert("docs\\\x83\x81\x83\x82.txt:3"), L"docs\\\u30e1\u30e2.txt:3");
  EXPECT_EQ(Convert("\x83\x5c:1"), L"\u30bd:1");  // a second byte that is a backslash
}

// A name that does not fit is not cut: a cut name would be another file's.
TEST(SearchPlatform, LongOrInvalidNamesStayTerminatedWithinTheField) {
  setlocale(LC_ALL, "Japanese");
  EXPECT_EQ(Convert(std::string(259, 'n').c_str()), std::wstring(259, L'n'));
  EXPECT_EQ(Convert(std::string(260, 'n').c_str()), L"");
  std::string longWide;
  for (int i = 0; i < 259; ++i) longWide += "\x82\xa0";
  EXPECT_EQ(Convert(longWide.c_str()), std::wstring(259, L'\u3042'));
  EXPECT_EQ(Convert((longWide + "\x82\xa0").c_str()), L"");
  EXPECT_EQ(Convert((longWide + "\xff").c_str()), L"");  // one more, and no valid one
  // Lead bytes without a valid second byte: whatever stands in, the text stays whole.
  for (const char* invalid : {"a\x81", "a\x81.txt", "a\xff\xfe\xfd", "a\x82"})
    EXPECT_EQ(Convert(invalid).substr(0, 1), L"a") << invalid;
  EXPECT_FALSE(Convert("\xff\xfe").empty());
  EXPECT_EQ(Convert("abc", 4), L"abc");
  EXPECT_EQ(Convert("abcd", 4), L"");
}

TEST(SearchPlatform, OtherCodePagesUseTheSystemsConversion) {
  EXPECT_EQ(Convert("docs\\\xe3\x83\xa1\xe3\x83\xa2.txt:3", kPathCapacity, kUtf8CodePage),
            L"docs\\\u30e1\u30e2.txt:3");
  EXPECT_EQ(Convert("caf\xe9:1", kPathCapacity, 1252), L"caf\u00e9:1");
  EXPECT_EQ(Convert("a\xff\xfe"
                    "b",
                    kPathCapacity, kUtf8CodePage),
            L"a\ufffd\ufffdb");
  // A character outside the basic plane takes two of the field's characters.
  std::string name = std::string(258, 'n') + "\xf0\x9f\x98\x80";
  EXPECT_EQ(Convert(name.c_str(), kPathCapacity, kUtf8CodePage), L"");
  EXPECT_EQ(Convert((std::string(300, 'n')).c_str(), kPathCapacity, 1252), L"");
  name = std::string(257, 'n') + "\xf0\x9f\x98\x80";
  EXPECT_EQ(Convert(name.c_str(), kPathCapacity, kUtf8CodePage),
            std::wstring(257, L'n') + L"\U0001f600");
}

// Whether a name is valid text in a code page decides whether that reading of it is tried.
TEST(SearchPlatform, ConversionTellsValidTextFromReplacedBytes) {
  setlocale(LC_ALL, "Japanese");
  struct Row {
    const char* bytes;
    uint32_t codePage;
    Decoded decoded;
  } rows[] = {
      {"docs\\\x83\x81\x83\x82.txt", kCp932, Decoded::kValid},
      {"caf\xc3\xa9", kCp932, Decoded::kValid},  // UTF-8 read as 932: valid, but "cafﾃｩ"
      {"a\xff\xfe", kCp932, Decoded::kReplaced},
      {"docs\\\xe3\x83\xa1.txt", kUtf8CodePage, Decoded::kValid},
      {"\x83\x81\x83\x82", kUtf8CodePage, Decoded::kReplaced},
      {"a\xe3\x83", kUtf8CodePage, Decoded::kReplaced},
  };
  for (const Row& row : rows) {
    Decoded decoded = Decoded::kTooLong;
    EXPECT_FALSE(Convert(row.bytes, kPathCapacity, row.codePage, &decoded).empty()) << row.bytes;
    EXPECT_EQ(decoded, row.decoded) << row.bytes << " in " << row.codePage;
  }
}

// A file's facts by its path, also where only the long form reaches it.
TEST(SearchPlatform, LookUpGivesAFilesFactsOrNothing) {
  std::wstring folder = MakeTempDirectory();
  WriteBytes(folder + L"a.txt", "12345");
  FileFacts facts = kMissingFile;
  ASSERT_TRUE(Win32Reader().lookUp(nullptr, (folder + L"a.txt").c_str(), &facts));
  EXPECT_EQ(facts.sizeLow, 5u);
  EXPECT_NE(facts.writeTimeLow | facts.writeTimeHigh, 0u);
  EXPECT_EQ(facts.attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  FileFacts untouched = {1, 2, 3, 4, 5};
  EXPECT_FALSE(Win32Reader().lookUp(nullptr, (folder + L"none.txt").c_str(), &untouched));
  EXPECT_EQ(untouched.sizeLow, 1u);
  RemoveTree(folder);
}

TEST(SearchPlatform, CodePagesAreDescribedByTheirByteStructure) {
  OutputEncoding e;
  ASSERT_TRUE(DescribeCodePage(1252, e));
  EXPECT_EQ(e.structure, ByteStructure::kSingleByte);
  ASSERT_TRUE(DescribeCodePage(936, e));
  EXPECT_EQ(e.structure, ByteStructure::kDoubleByte);
  EXPECT_TRUE(IsLeadByte(e, '\x81'));
  EXPECT_FALSE(IsLeadByte(e, 'a'));
  ASSERT_TRUE(DescribeCodePage(kUtf8CodePage, e));
  EXPECT_EQ(e.structure, ByteStructure::kUtf8);
  ASSERT_TRUE(DescribeCodePage(kCp932, e));
  OutputEncoding cp932 = Cp932Encoding();
  EXPECT_EQ(e.structure, ByteStructure::kDoubleByte);
  EXPECT_EQ(memcmp(e.leadBytes, cp932.leadBytes, sizeof(e.leadBytes)), 0);
  for (uint32_t unusable : {1200u, 65000u, 50220u, 12345u})
    EXPECT_FALSE(DescribeCodePage(unusable, e)) << unusable;
}

// The reader's sleeps, and those after which output was already waiting: slept while the child
// printed, or while it waited on a full pipe.
struct Sleeps {
  const SearchContext* context = nullptr;
  int count = 0, pending = 0;
  uint32_t pendingMilliseconds = 0;
};

// The real calls ignore their user pointer: it carries the count here.
void CountedSleep(void* user, uint32_t milliseconds) {
  auto* sleeps = static_cast<Sleeps*>(user);
  Sleep(milliseconds);
  ++sleeps->count;
  DWORD available = 0;
  if (PeekNamedPipe(sleeps->context->outputRead, nullptr, 0, nullptr, &available, nullptr) &&
      available > 0) {
    ++sleeps->pending;
    sleeps->pendingMilliseconds += milliseconds;
  }
}

// A search prints one file's matches, then looks through other files for a while. Over the real
// pipe, the reader's sleeps are counted through the seam. A fixed 100 ms poll sleeps 100 ms into
// every gap it meets; waits that start short after output end soon after the gap does. How many
// gaps the reader meets depends on how fast it drains the pipe (where the system is emulated it
// may never catch up with bursts larger than the pipe), so the bursts are small and the test
// weighs each sleep that output cut short.
TEST(SearchPlatform, ReaderKeepsPaceWithASearchPrintingInBursts) {
  std::wstring folder = MakeTempDirectory();
  std::string lines;
  for (int file = 0; file < 40; ++file)
    for (int line = 1; line <= 50; ++line)
      lines += "src\\f" + std::to_string(file) + ".c:" + std::to_string(line) + ":match\r\n";
  WriteBytes(folder + L"out.txt", lines);
  auto context = std::make_unique<SearchContext>();
  memset(context.get(), 0, sizeof(SearchContext));
  context->encoding = Cp932Encoding();
  std::wstring command = ChildCommand() + L" bursts:50:30:" + folder + L"out.txt";
  wcscpy(context->commandLine, command.c_str());
  ASSERT_TRUE(StartSearchProcess(context->commandLine, *context, Win32Launch()));
  Sleeps sleeps{context.get()};
  ReaderPlatform reader = Win32Reader();
  reader.user = &sleeps;
  reader.sleep = CountedSleep;
  int entries = 0;
  FindRecord record;
  ASSERT_EQ(FillOutputBuffer(*context, reader), Waited::kOutput);
  // Waiting for the child to start is no gap, and takes seconds where the system is emulated.
  sleeps = Sleeps{context.get()};
  while (TakeNextLine(*context, &record, reader) == Taken::kEntry) ++entries;
  CloseSearchHandles(*context);
  EXPECT_EQ(entries, 2000);
  std::printf("%d of %d sleeps ended with output waiting, %u ms of them\n", sleeps.pending,
              sleeps.count, sleeps.pendingMilliseconds);
  EXPECT_GT(sleeps.pending, 0) << "no gap was waited into, of " << sleeps.count << " sleeps";
  EXPECT_LT(sleeps.pendingMilliseconds, 50u * sleeps.pending)
      << sleeps.pending << " of " << sleeps.count << " sleeps ended with output waiting";
  RemoveTree(folder);
}

}  // namespace
