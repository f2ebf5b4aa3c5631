// The real multibyte conversion behind entry names, linked in directly.
#include <clocale>

#include "search/platform_win32.h"
#include "tests/wine/fixture.h"

namespace {

std::wstring Convert(const char* bytes, size_t capacity = kPathCapacity,
                     uint32_t codePage = kCp932) {
  wchar_t out[kPathCapacity + 8];
  wmemset(out, L'#', kPathCapacity + 8);
  Win32Reader().toWide(nullptr, codePage, out, capacity, bytes);
  EXPECT_EQ(out[capacity], L'#') << "wrote past the field";
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

TEST(SearchPlatform, LongOrInvalidNamesStayTerminatedWithinTheField) {
  setlocale(LC_ALL, "Japanese");
  std::string longName(400, 'n');
  EXPECT_EQ(Convert(longName.c_str()), std::wstring(259, L'n'));
  std::string longWide;
  for (int i = 0; i < 300; ++i) longWide += "\x82\xa0";
  EXPECT_EQ(Convert(longWide.c_str()), std::wstring(259, L'\u3042'));
  // Lead bytes without a valid second byte: whatever stands in, the text stays whole.
  for (const char* invalid : {"a\x81", "a\x81.txt", "a\xff\xfe\xfd", "a\x82"})
    EXPECT_EQ(Convert(invalid).substr(0, 1), L"a") << invalid;
  EXPECT_FALSE(Convert("\xff\xfe").empty());
  EXPECT_EQ(Convert("abcdef", 4), L"abc");
}

TEST(SearchPlatform, OtherCodePagesUseTheSystemsConversion) {
  EXPECT_EQ(Convert("docs\\\xe3\x83\xa1\xe3\x83\xa2.txt:3", kPathCapacity, kUtf8CodePage),
            L"docs\\\u30e1\u30e2.txt:3");
  EXPECT_EQ(Convert("caf\xe9:1", kPathCapacity, 1252), L"caf\u00e9:1");
  EXPECT_EQ(Convert("a\xff\xfe"
                    "b",
                    kPathCapacity, kUtf8CodePage),
            L"a\ufffd\ufffdb");
  // A character outside the basic plane is never cut in half at the field's end.
  std::string name = std::string(258, 'n') + "\xf0\x9f\x98\x80";
  EXPECT_EQ(Convert(name.c_str(), kPathCapacity, kUtf8CodePage), std::wstring(258, L'n'));
  name = std::string(257, 'n') + "\xf0\x9f\x98\x80";
  EXPECT_EQ(Convert(name.c_str(), kPathCapacity, kUtf8CodePage),
            std::wstring(257, L'n') + L"\U0001f600");
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

}  // namespace
