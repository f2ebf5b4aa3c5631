// The real multibyte conversion behind entry names, linked in directly.
#include <clocale>

#include "search/platform_win32.h"
#include "tests/wine/fixture.h"

namespace {

std::wstring Convert(const char* bytes, size_t capacity = kPathCapacity) {
  wchar_t out[kPathCapacity + 8];
  wmemset(out, L'#', kPathCapacity + 8);
  Win32Reader().toWide(nullptr, out, capacity, bytes);
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

}  // namespace
