#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

#include "host/launch_error.h"
#include "host/texts.h"

namespace {

std::string FromCp932(const char* text) {
  iconv_t convert = iconv_open("UTF-8", "CP932");
  EXPECT_NE(convert, reinterpret_cast<iconv_t>(-1));
  std::string in = text;
  char out[512] = {};
  char* from = &in[0];
  char* to = out;
  size_t inLeft = in.size(), outLeft = sizeof(out) - 1;
  EXPECT_NE(iconv(convert, &from, &inLeft, &to, &outLeft), static_cast<size_t>(-1));
  iconv_close(convert);
  return out;
}

TEST(HostTexts, EightBitTextsAreExactCodePage932) {
  EXPECT_EQ(FromCp932(kQuoteDirectoryMessage),
            "ERROR : \u7b2c 1 \u5f15\u6570\u306e path \u306f\u300c\"\u300d\u3067\u56f2\u3093"
            "\u3067\u304f\u3060\u3055\u3044\u3002");
  EXPECT_EQ(strlen(kQuoteDirectoryMessage), 50u);
  EXPECT_EQ(FromCp932(kInterruptedMessage),
            "\u51e6\u7406\u3092\u4e2d\u65ad\u3057\u307e\u3057\u305f");
  EXPECT_EQ(FromCp932(kConfigEntryMessage),
            "ERROR: sarvik.ini \u306e\u4ee5\u4e0b\u306e\u5185\u5bb9\u306e\u7b87\u6240\u3092\u78ba"
            "\u8a8d\u3057\u3066\u304f\u3060\u3055\u3044\u3002");
}

TEST(HostTexts, WideTexts) {
  EXPECT_EQ(std::wstring(kListingHeader), L"---------- grep \u5b9f\u884c ----------");
  EXPECT_EQ(std::wstring(kListingTitle).size(), 7u);
}

TEST(LaunchError, CodeIsSignedDecimalAndLongTextsAreCut) {
  wchar_t line[kLaunchErrorCapacity];
  FormatLaunchError(line, L"Redirect", static_cast<int32_t>(0x80070002u), L"x");
  EXPECT_STREQ(line, L"ERROR: API = Redirect.  error code = -2147024894.  message = x.");
  std::wstring huge(5000, L'y');
  FormatLaunchError(line, L"Redirect", 2, huge.c_str());
  EXPECT_EQ(std::wcslen(line), kLaunchErrorCapacity - 1);
}

}  // namespace
