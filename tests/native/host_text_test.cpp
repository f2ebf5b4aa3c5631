#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "host/launch_error.h"
#include "host/texts.h"

namespace {

std::string Convert(const char* from, const char* text, size_t bytes) {
  iconv_t convert = iconv_open("UTF-8", from);
  EXPECT_NE(convert, reinterpret_cast<iconv_t>(-1));
  std::string in(text, bytes);
  char out[512] = {};
  char* source = &in[0];
  char* to = out;
  size_t inLeft = in.size(), outLeft = sizeof(out) - 1;
  EXPECT_NE(iconv(convert, &source, &inLeft, &to, &outLeft), static_cast<size_t>(-1));
  iconv_close(convert);
  return out;
}

// The texts are checked against their words typed here, through encoders that are not the
// product's: glibc's code page 932 for the 8-bit texts, its wide characters for the others.
std::string FromCp932(const char* text) {
  return Convert("CP932", text, strlen(text));
}
std::string FromWide(const wchar_t* text) {
  return Convert("WCHAR_T", reinterpret_cast<const char*>(text), wcslen(text) * sizeof(wchar_t));
}

TEST(HostTexts, EightBitTextsAreTheirWordsInCodePage932) {
  struct Row {
    const char* text;
    const char* words;
  } rows[] = {
      {kQuoteDirectoryMessage, "ERROR : 第 1 引数の path は「\"」で囲んでください。"},
      {kInterruptedMessage, "処理を中断しました"},
      {kConfigEntryMessage, "ERROR: sarvik.ini の以下の内容の箇所を確認してください。"},
      {kNoEntryMessage, "検索コマンドの出力に「ファイル名:行番号:」で始まる行はありませんでした。"},
      {kMoreLinesBefore, "（ほか "},
      {kMoreLinesAfter, " 行）"},
  };
  for (const Row& row : rows) EXPECT_EQ(FromCp932(row.text), row.words);
  EXPECT_EQ(strlen(kQuoteDirectoryMessage), 50u);
}

TEST(HostTexts, WideTextsAreTheirWords) {
  EXPECT_EQ(FromWide(kListingHeader), "---------- grep 実行 ----------");
  EXPECT_EQ(FromWide(kListingTitle), "grep 結果");
  EXPECT_EQ(FromWide(kListingRoot), "/");
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
