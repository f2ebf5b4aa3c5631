#include "config/config.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ConfigPath, IsTheModuleDirectoryAndAFixedName) {
  wchar_t path[kPathCapacity];
  ASSERT_TRUE(FormConfigPath(L"D:\\tools\\fm\\plugins\\", path, kPathCapacity));
  EXPECT_STREQ(path, L"D:\\tools\\fm\\plugins\\sarvik.ini");
}

TEST(ConfigPath, TooLongOrUnknownDirectoryLeavesNoPath) {
  wchar_t path[kPathCapacity];
  std::wstring fits(249, L'd');  // 249 + 10 = 259 characters
  EXPECT_TRUE(FormConfigPath(fits.c_str(), path, kPathCapacity));
  std::wstring tooLong(250, L'd');
  EXPECT_FALSE(FormConfigPath(tooLong.c_str(), path, kPathCapacity));
  EXPECT_EQ(path[0], 0);  // no cut path that might name another file
  EXPECT_FALSE(FormConfigPath(L"", path, kPathCapacity));
  EXPECT_EQ(path[0], 0);
}

TEST(ConfigValues, MessageOutputIsOnlyAFirstCharacterOne) {
  EXPECT_TRUE(IsMessageOutputOn(L"1"));
  EXPECT_TRUE(IsMessageOutputOn(L"1x"));
  for (const wchar_t* off : {L"0", L"", L" 1", L"yes", L"true", L"on"})
    EXPECT_FALSE(IsMessageOutputOn(off)) << off;
}

TEST(ModuleDirectory, KeepsDriveAndDirectoryWithTheTrailingSeparator) {
  wchar_t directory[kPathCapacity];
  DirectoryOfPath(L"D:\\tools\\fm\\plugins\\sarvik.dll", directory);
  EXPECT_STREQ(directory, L"D:\\tools\\fm\\plugins\\");
  DirectoryOfPath(L"C:sarvik.dll", directory);
  EXPECT_STREQ(directory, L"C:");
  DirectoryOfPath(L"\\\\server\\share\\x.dll", directory);
  EXPECT_STREQ(directory, L"\\\\server\\share\\");
  DirectoryOfPath(L"sarvik.dll", directory);
  EXPECT_STREQ(directory, L"");
}

TEST(ConfigValues, CodePageIsANumberThatNamesOne) {
  struct Row {
    const wchar_t* value;
    uint32_t codePage;
  } rows[] = {{L"932", 932}, {L"65001", 65001}, {L"1252", 1252}, {L"0932", 932},
              {L"", 0},      {L"utf-8", 0},     {L"65001x", 0},  {L" 932", 0},
              {L"65536", 0}, {L"123456", 0},    {L"0", 0},       {L"1", 0},
              {L"3", 0},     {L"42", 0},        {L"-932", 0},    {L"4", 4}};
  for (const Row& row : rows) EXPECT_EQ(ParseCodePage(row.value), row.codePage) << row.value;
}

}  // namespace
