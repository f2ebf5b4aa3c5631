#include "common/real_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RealPath, IsTheBaseABackslashAndTheNameUpToItsFirstColon) {
  wchar_t path[kPathCapacity];
  ASSERT_TRUE(FormRealPath(L"C:\\work\\src", L"main.c:42", path, kPathCapacity));
  EXPECT_STREQ(path, L"C:\\work\\src\\main.c");
  ASSERT_TRUE(FormRealPath(L"C:\\", L"a.c:1", path, kPathCapacity));
  EXPECT_STREQ(path, L"C:\\\\a.c");  // a drive root gives a doubled backslash, used as formed
  ASSERT_TRUE(FormRealPath(L"C:\\w", L"D:\\x.c:12", path, kPathCapacity));
  EXPECT_STREQ(path, L"D:\\x.c");  // absolute: as it stands
  ASSERT_TRUE(FormRealPath(L"C:\\w", L"\\\\srv\\s\\x.c:3", path, kPathCapacity));
  EXPECT_STREQ(path, L"\\\\srv\\s\\x.c");
  ASSERT_TRUE(FormRealPath(L"C:\\w", L"D:x.c:1", path, kPathCapacity));
  EXPECT_STREQ(path, L"C:\\w\\D");  // a drive without a separator is no absolute path
  std::wstring base(250, L'b');
  EXPECT_TRUE(FormRealPath(base.c_str(), L"12345678:1", path, kPathCapacity));  // 259
  EXPECT_FALSE(FormRealPath(base.c_str(), L"123456789:1", path, kPathCapacity));
  EXPECT_EQ(path[0], 0);
}

// The long form takes every character literally: what the system would resolve in a plain path
// ("." and ".." parts, "/", doubled separators) is resolved first.
TEST(RealPath, LongFormResolvesDotsAndSeparatorsBelowItsRoot) {
  struct Row {
    const wchar_t* path;
    const wchar_t* longForm;
  } rows[] = {
      {L"C:\\work\\.\\src\\a.c", L"\\\\?\\C:\\work\\src\\a.c"},
      {L"C:\\work\\\\.\\x\\..\\a.c", L"\\\\?\\C:\\work\\a.c"},
      {L"d:/w/sub/../../a.c", L"\\\\?\\d:\\a.c"},
      {L"C:\\..\\..\\a.c", L"\\\\?\\C:\\a.c"},  // never above the drive
      {L"C:\\w\\..a\\.b\\...\\a.c", L"\\\\?\\C:\\w\\..a\\.b\\...\\a.c"},
      {L"\\\\srv\\share\\.\\d\\..\\a.c", L"\\\\?\\UNC\\srv\\share\\a.c"},
      {L"\\\\srv\\share\\..\\..\\a.c", L"\\\\?\\UNC\\srv\\share\\a.c"},  // nor above the share
      {L"\\\\?\\C:\\w\\.\\a.c", L"\\\\?\\C:\\w\\.\\a.c"},  // already the long form: as it stands
  };
  for (const Row& row : rows) {
    wchar_t out[kRealPathCapacity];
    wmemset(out, L'#', kRealPathCapacity);
    ASSERT_TRUE(FormLongPath(row.path, out, kRealPathCapacity)) << row.path;
    EXPECT_STREQ(out, row.longForm) << row.path;
  }
}

TEST(RealPath, OnlyAnAbsolutePathHasALongForm) {
  wchar_t out[kRealPathCapacity];
  for (const wchar_t* relative : {L"work\\a.c", L".\\a.c", L"C:a.c", L"\\a.c", L""}) {
    wmemset(out, L'#', kRealPathCapacity);
    EXPECT_FALSE(FormLongPath(relative, out, kRealPathCapacity)) << relative;
    EXPECT_EQ(out[0], 0) << relative;
  }
  std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\a.c";
  EXPECT_FALSE(FormLongPath(deep.c_str(), out, 300));  // does not fit: empty, not cut
  EXPECT_EQ(out[0], 0);
  ASSERT_TRUE(FormLongPath(deep.c_str(), out, kRealPathCapacity));
  EXPECT_EQ(std::wstring(out), L"\\\\?\\" + deep);
}

// A real path may be up to 519 characters: beyond the system's limit only an absolute one is
// reached, through its long form.
TEST(RealPath, PastTheLimitOnlyAnAbsolutePathIsReachable) {
  wchar_t path[kRealPathCapacity];
  std::wstring base = L"C:\\" + std::wstring(256, L'b');  // 259 characters
  std::wstring name = std::wstring(255, L'n') + L".c:1";
  ASSERT_TRUE(FormRealPath(base.c_str(), name.c_str(), path));
  EXPECT_EQ(std::wcslen(path), 259u + 1 + 257);
  EXPECT_TRUE(IsReachable(path));
  ASSERT_TRUE(FormRealPath(base.c_str() + 3, name.c_str(), path));
  EXPECT_FALSE(IsReachable(path));
  ASSERT_TRUE(FormRealPath(base.c_str() + 10, L"a.c:1", path));  // 249, a backslash, 3
  EXPECT_TRUE(IsReachable(path));
}

}  // namespace
