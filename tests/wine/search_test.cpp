// The search process and its output over a real pipe, with the scripted child.
#include "host/texts.h"
#include "tests/wine/fixture.h"

namespace {

class SearchTest : public PluginTest {};

using Names = std::vector<std::wstring>;

const std::wstring kInterrupted = L"\u51e6\u7406\u3092\u4e2d\u65ad\u3057\u307e\u3057\u305f";

// The system's reason, then the command line that was tried: a typo or a program that is not on
// the PATH shows there.
TEST_F(SearchTest, MissingCommandPrintsTheLaunchErrorAndTheCommandWhateverMessageOutputSays) {
  Load();
  const std::wstring error = L"ERROR: API = Redirect.  error code = 2.  message = " +
                             SystemText(2).substr(0, SystemText(2).find(L'\r'));
  const std::wstring tried = folder + L"no-such-program.exe  foo";
  for (bool messageOutput : {false, true}) {
    host->calls.clear();
    WriteConfig({{L"GrepCommand", folder + L"no-such-program.exe"},
                 {L"MessageOutput", messageOutput ? L"1" : L"0"}});
    HANDLE handle = Open(L"\"" + folder + L"\" foo");
    FindRecord record;
    EXPECT_EQ(api().findFirst(handle, nullptr, &record), 0);
    Names expected = messageOutput ? Names{L"", kListingHeader, error, tried} : Names{error, tried};
    EXPECT_EQ(host->Printed(), expected);
    EXPECT_EQ(host->Count(L"MesOk"), 0);
    EXPECT_EQ(Context(handle).process, nullptr);
    EXPECT_EQ(api().close(handle), 1);
  }
}

TEST_F(SearchTest, QuotedPhraseAndMaskReachTheSearchProgramAsTyped) {
  const std::wstring words = L"args /C:\"int main\" \"my files\\*.c\"";
  HANDLE handle = OpenChild(words, /*messageOutput=*/true);
  EXPECT_EQ(List(handle).names, (Names{L"args.txt:1"}));
  // The child's own command line as it echoes it: after the program (which Wine may requote),
  // GrepCommand's blank and the words as typed, quotes included.
  std::wstring echoed = host->Printed()[2];
  ASSERT_GT(echoed.size(), words.size() + 2);
  EXPECT_EQ(echoed.substr(echoed.size() - words.size() - 2), L"  " + words);
  api().close(handle);
}

TEST_F(SearchTest, StandardErrorArrivesInTheSameStream) {
  HANDLE handle = OpenChild(L"out:a.txt:1:x\\r\\n sleep:100 err:e.txt:2:from\\x20stderr\\r\\n");
  EXPECT_EQ(List(handle).names, (Names{L"a.txt:1", L"e.txt:2"}));
  api().close(handle);
}

TEST_F(SearchTest, LineSplitAcrossWritesIsWaitedFor) {
  HANDLE handle = OpenChild(L"out:a.txt:1 sleep:300 out::text\\r\\nb.txt:2 sleep:200 out::y\\n");
  EXPECT_EQ(List(handle).names, (Names{L"a.txt:1", L"b.txt:2"}));
  api().close(handle);
}

TEST_F(SearchTest, ZeroBytesInvalidShiftJisAndHugeLinesLoseNoLaterLine) {
  HANDLE handle = OpenChild(
      L"out:a.txt:1:x\\0y\\r\\n out:bad\\x81.txt:2:\\xff\\xfe\\r\\n out:big.txt:3: "
      L"bytes:102400:41 out:\\r\\nc.txt:4:\\x82\\xa0\\r\\n");
  Listed listed = List(handle);
  ASSERT_EQ(listed.names.size(), 4u);
  EXPECT_EQ(listed.names[0], L"a.txt:1");
  EXPECT_EQ(listed.names[1].substr(0, 3), L"bad");
  // \x81 and the dot after it are no character: the system's conversion shows one in their place.
  EXPECT_EQ(listed.names[1].substr(listed.names[1].size() - 5), L"txt:2");
  EXPECT_EQ(listed.names[2], L"big.txt:3");
  EXPECT_EQ(listed.names[3], L"c.txt:4");
  EXPECT_EQ(listed.last, -1);
  api().close(handle);
}

TEST_F(SearchTest, ChildEndingOrCrashingMidLineGivesItsLastEntry) {
  for (const wchar_t* end : {L"exit:0", L"crash"}) {
    HANDLE handle = OpenChild(std::wstring(L"out:a.txt:1:x\\r\\nb.txt:2:cut ") + end);
    EXPECT_EQ(List(handle).names, (Names{L"a.txt:1", L"b.txt:2"})) << ToUtf8(end);
    api().close(handle);
  }
}

TEST_F(SearchTest, ChildReadingStandardInputWaitsUntilEscape) {
  HANDLE handle = OpenChild(L"stdin out:never.txt:1:x\\r\\n", /*messageOutput=*/true);
  ForgetEscape();
  DWORD started = GetTickCount();
  std::thread escape = PressEscapeAfter(600);
  FindRecord record;
  EXPECT_EQ(api().findFirst(handle, nullptr, &record), -1);
  escape.join();
  EXPECT_GE(GetTickCount() - started, 500u);
  // Escape in the first wait: the interruption, but no MesOk.
  EXPECT_EQ(host->Printed(), (Names{L"", kListingHeader, kInterrupted}));
  EXPECT_EQ(host->Count(L"MesOk"), 0);
  HANDLE process = Context(handle).process;
  ASSERT_NE(process, nullptr);
  EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(api().close(handle), 1);
}

TEST_F(SearchTest, EscapeIsReportedWhateverMessageOutputSays) {
  HANDLE handle = OpenChild(L"hang", /*messageOutput=*/false);
  ForgetEscape();
  std::thread escape = PressEscapeAfter(300);
  FindRecord record;
  EXPECT_EQ(api().findFirst(handle, nullptr, &record), -1);
  escape.join();
  EXPECT_EQ(host->Printed(), (Names{kInterrupted}));
  EXPECT_EQ(WaitForSingleObject(Context(handle).process, 5000), WAIT_OBJECT_0);
  api().close(handle);
}

int g_dispatched = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) ++g_dispatched;
  return DefWindowProcW(window, message, w, l);
}

TEST_F(SearchTest, WindowMessagesAreDispatchedAndQuitIsKeptWhileWaiting) {
  HWND window = MakeMessageWindow(L"sarvik-test-counter", CountingProc);
  ASSERT_NE(window, nullptr);
  HANDLE handle = OpenChild(L"sleep:400 out:a.txt:1:x\\r\\n");
  g_dispatched = 0;
  for (int i = 0; i < 3; ++i) PostMessageW(window, WM_APP, 0, 0);
  PostQuitMessage(7);
  FindRecord record;
  EXPECT_EQ(api().findFirst(handle, nullptr, &record), 1);
  EXPECT_EQ(g_dispatched, 3);
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
  api().close(handle);
  DestroyWindow(window);
}

}  // namespace
