#include "common/file_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The same rows as bytes and as wide text: the listing reads the one, executing an entry the other.
struct Row {
  const char* text;
  size_t first, second, last;  // npos: the text's length
};

constexpr size_t kNone = std::string::npos;

const Row kRows[] = {
    {"src\\a.c:12:int x;", 7, 10, 10},
    {"a.c:12", 3, kNone, 3},
    {"a.c", kNone, kNone, kNone},
    {"", kNone, kNone, kNone},
    {":1:", 0, 2, 2},
    {"a:1:b:c", 1, 3, 5},
    {"C:\\w\\a.c:3:x", 8, 10, 10},  // a drive's colon belongs to the file
    {"d:/a.c:3", 6, kNone, 6},
    {"C:\\w", kNone, kNone, kNone},
    {"C:a.c:5", 1, 5, 5},  // no separator after it: no drive
    {"1:\\a:2", 1, 4, 4},  // no letter before it: no drive
    {"C:", 1, kNone, 1},
    {"\\\\srv\\s\\a.c:4:t", 11, 13, 13},
};

TEST(FileLine, ColonsAreCountedAfterADrivesOwn) {
  for (const Row& row : kRows) {
    std::string bytes = row.text;
    std::wstring wide(bytes.begin(), bytes.end());
    size_t n = bytes.size();
    auto expect = [n](size_t at) { return at == kNone ? n : at; };
    size_t first = FirstColon(bytes.c_str(), n);
    EXPECT_EQ(first, expect(row.first)) << row.text;
    EXPECT_EQ(SecondColon(bytes.c_str(), n, first), expect(row.second)) << row.text;
    EXPECT_EQ(LastColon(bytes.c_str(), n), expect(row.last)) << row.text;
    size_t wideFirst = FirstColon(wide.c_str(), n);
    EXPECT_EQ(wideFirst, first) << row.text;
    EXPECT_EQ(SecondColon(wide.c_str(), n, wideFirst), expect(row.second)) << row.text;
    EXPECT_EQ(LastColon(wide.c_str(), n), expect(row.last)) << row.text;
  }
}

// Only the given length is looked at: a colon past it, as in a buffer's rest, is not found.
TEST(FileLine, NothingPastTheLengthIsRead) {
  const char line[] = "a.c:1:x\nb.c:2:y";
  EXPECT_EQ(SecondColon(line, 3, FirstColon(line, 3)), 3u);
  EXPECT_EQ(LastColon(line, 5), 3u);
}

}  // namespace
