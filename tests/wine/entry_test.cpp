// Executing an entry through the host's Exec, and giving the host an entry's real path.
#include "tests/wine/fixture.h"

namespace {

using Names = std::vector<std::wstring>;

const std::wstring kTemplateError =
    L"ERROR: sarvik.ini \u306e\u4ee5\u4e0b\u306e\u5185\u5bb9\u306e\u7b87\u6240\u3092\u78ba"
    L"\u8a8d\u3057\u3066\u304f\u3060\u3055\u3044\u3002";

class EntryTest : public PluginTest {
 protected:
  HANDLE OpenWork() {
    if (host == nullptr) Load();
    return Open(L"\"C:\\work\" foo");
  }
  int ExecuteWith(const std::wstring& entryTemplate, const wchar_t* entry = L"/src\\a.c:12") {
    WriteConfig({{L"Command", entryTemplate}});
    return api().execute(handle, entry);
  }
  void TearDown() override {
    if (handle != nullptr) api().close(handle);
    PluginTest::TearDown();
  }
  HANDLE handle = nullptr;
};

TEST_F(EntryTest, UsableTemplatesExpandForTheEntry) {
  handle = OpenWork();
  const std::wstring path = L"\"C:\\work\\src\\a.c\"";
  EXPECT_EQ(api().execute(handle, L"/src\\a.c:12"), 1);  // no file: "&EDIT %s"
  EXPECT_EQ(ExecuteWith(L"&EXEC editor -n%d %s"), 1);
  EXPECT_EQ(ExecuteWith(L"&EXEC editor %s -l%d"), 1);
  EXPECT_EQ(ExecuteWith(L"&EXEC 100%%%% -n%d %s"), 1);
  EXPECT_EQ(host->Executed(),
            (Names{L"&EDIT " + path, L"&EXEC editor -n12 " + path,
                   L"&EXEC editor " + path + L" -l12", L"&EXEC 100%% -n12 " + path}));
  EXPECT_TRUE(host->Printed().empty());
}

TEST_F(EntryTest, UnusableTemplatesPrintTheTwoLinesAndRunNothing) {
  handle = OpenWork();
  WriteConfig({{L"MessageOutput", L"0"}});
  // Which templates are unusable is pinned natively; these prove the message and the INI's
  // wiring, an empty value included.
  const wchar_t* unusable[] = {L"&EDIT %5d %s", L"&EDIT %S", L""};
  for (const wchar_t* t : unusable) {
    host->calls.clear();
    EXPECT_EQ(ExecuteWith(t), 0) << ToUtf8(t);
    EXPECT_EQ(host->Printed(), (Names{kTemplateError, t})) << ToUtf8(t);
    EXPECT_TRUE(host->Executed().empty());
  }
}

TEST_F(EntryTest, ChangedCommandIsUsedByTheVeryNextCall) {
  handle = OpenWork();
  EXPECT_EQ(ExecuteWith(L"first %s"), 1);
  EXPECT_EQ(ExecuteWith(L"second %s"), 1);
  EXPECT_EQ(host->Executed(),
            (Names{L"first \"C:\\work\\src\\a.c\"", L"second \"C:\\work\\src\\a.c\""}));
}

TEST_F(EntryTest, ShiftCommandDefaultsLikeCommand) {
  handle = OpenWork();
  EXPECT_EQ(api().execute2(handle, L"/a.c:3"), 1);
  EXPECT_EQ(api().execute(handle, L"/a.c:3"), 1);
  WriteConfig({{L"Command", L"plain %s"}, {L"ShiftCommand", L"shifted %d %s"}});
  EXPECT_EQ(api().execute2(handle, L"/a.c:3"), 1);
  Names executed = host->Executed();
  ASSERT_EQ(executed.size(), 3u);
  EXPECT_EQ(executed[0], executed[1]);
  EXPECT_EQ(executed[2], L"shifted 3 \"C:\\work\\a.c\"");
}

TEST_F(EntryTest, HostRefusalOrNoHostObjectGivesZero) {
  handle = OpenWork();
  host->failExec = true;
  EXPECT_EQ(api().execute(handle, L"/a.c:3"), 0);
  EXPECT_EQ(host->Executed().size(), 1u);
}

TEST_F(EntryTest, TooLongCommandsFailWithoutReachingTheHost) {
  handle = OpenWork();
  EXPECT_EQ(ExecuteWith(std::wstring(280, L'x') + L" %s"), 1);  // 292 is the template's room
  // A real path past 260 characters opens when the command fits 520: 282 + 260 does not.
  std::wstring longName = L"/" + std::wstring(250, L'n') + L":1";
  EXPECT_EQ(ExecuteWith(std::wstring(280, L'x') + L" %s", longName.c_str()), 0);
  EXPECT_EQ(ExecuteWith(L"%s", L""), 0);
  EXPECT_EQ(host->Executed().size(), 1u);
}

TEST_F(EntryTest, IntCopyToGivesTheRealPathBoundedByTheCapacity) {
  handle = OpenWork();
  wchar_t buffer[32];
  wmemset(buffer, L'#', 32);
  EXPECT_EQ(api().intCopyTo(handle, L"src\\a.c:12", nullptr, buffer, 10, nullptr), 1);
  EXPECT_EQ(std::wstring(buffer, 11), L"C:\\work\\sr#");  // ten characters, no terminator
  wmemset(buffer, L'#', 32);
  EXPECT_EQ(api().intCopyTo(handle, L"a.c:12", nullptr, buffer, 32, nullptr), 1);
  EXPECT_EQ(std::wstring(buffer, 32), L"C:\\work\\a.c" + std::wstring(21, L'\0'));
  EXPECT_EQ(api().intCopyTo(handle, L"a.c:12", nullptr, nullptr, 32, nullptr), 0);
}

}  // namespace
