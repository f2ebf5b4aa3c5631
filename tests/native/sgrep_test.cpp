#include "programs/sgrep_match.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(SgrepMatch, AnyWordMatchesIgnoringAsciiCase) {
  EXPECT_EQ(SplitWords("  foo bar "), (Words{"foo", "bar"}));
  EXPECT_TRUE(LineMatches("int Foo;", {"foo"}, true));
  EXPECT_FALSE(LineMatches("int Foo;", {"foo"}, false));
  EXPECT_TRUE(LineMatches("bar only", {"foo", "bar"}, true));
  EXPECT_FALSE(LineMatches("fo o", {"foo"}, true));
  // A /C: phrase is one word, blanks and all.
  EXPECT_TRUE(LineMatches("int Main(void)", {"int main"}, true));
  EXPECT_FALSE(LineMatches("int x = main;", {"int main"}, true));
}

TEST(SgrepMatch, DoubleByteCharactersAreMatchedWhole) {
  // 0x83 0x41 is one character ("ア"); its second byte is an 'A' that must not match "a".
  EXPECT_FALSE(LineMatches("\x83\x41", {"a"}, true));
  EXPECT_TRUE(LineMatches("x\x83\x41y", {"\x83\x41"}, true));
  // A word starting in the middle of a character does not match.
  EXPECT_FALSE(LineMatches("\x93\xfa\x96\x7b", {"\xfa\x96"}, true));
  // The second byte of "ソ" (0x83 0x5c) is a backslash; a search for it does not match there.
  EXPECT_FALSE(LineMatches("\x83\x5c", {"\\"}, true));
}

TEST(SgrepMatch, LinesAreNumberedFromOneWithoutTheirBreaks) {
  std::vector<std::pair<int, std::string>> found;
  MatchLines("one\r\ntwo foo\r\nthree\nfoo four", {"foo"}, true,
             [&](int n, const std::string& line) { found.emplace_back(n, line); });
  EXPECT_EQ(found, (std::vector<std::pair<int, std::string>>{{2, "two foo"}, {4, "foo four"}}));
}

TEST(SgrepMatch, ControlBytesMakeAFileUnprintable) {
  EXPECT_TRUE(IsPrintableText("a\tb\r\nc\x0c\x1a\x82\xa0"));
  EXPECT_FALSE(IsPrintableText(std::string("a\0b", 3)));
  EXPECT_FALSE(IsPrintableText("a\x01"));
}

}  // namespace
