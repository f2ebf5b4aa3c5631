// The host bridge, linked into this program directly: every call's shape as the host sees it.
#include "host/bridge.h"

#include <clocale>

#include "host/texts.h"
#include "tests/wine/fixture.h"

namespace {

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setlocale(LC_ALL, "Japanese");
    host = std::make_unique<TestHost>();
    ASSERT_EQ(ConnectHost(), HostConnection::kConnected);
  }
  void TearDown() override {
    DisconnectHost();
    EXPECT_EQ(g_hostObject, nullptr);
    host.reset();
  }
  std::unique_ptr<TestHost> host;
};

TEST_F(BridgeTest, ConnectingTwiceDoesNothing) {
  IDispatch* held = g_hostObject;
  EXPECT_EQ(ConnectHost(), HostConnection::kAlreadyConnected);
  EXPECT_EQ(g_hostObject, held);
}

TEST_F(BridgeTest, PrintSendsOneStringAsAMethodCall) {
  HostPrint(L"hello");
  ASSERT_EQ(host->calls.size(), 1u);
  const HostCall& call = host->calls[0];
  EXPECT_EQ(call.method, L"MesPrint");
  EXPECT_EQ(call.argCount, 1u);
  EXPECT_EQ(call.namedCount, 0u);
  EXPECT_EQ(call.argType, VT_BSTR);
  EXPECT_EQ(call.text, L"hello");
  EXPECT_EQ(call.namesLocale, 0x400u);
  EXPECT_EQ(call.callLocale, 0x800u);
  EXPECT_EQ(call.flags, DISPATCH_METHOD);
  EXPECT_FALSE(call.wantedResult);
}

TEST_F(BridgeTest, PrintStopsAtTheFirstCarriageReturnAndSendsEmptyTexts) {
  HostPrint(L"abc\rdef\r\n");
  HostPrint(L"\rabc");
  HostPrint(L"");
  EXPECT_EQ(host->Printed(), (std::vector<std::wstring>{L"abc", L"", L""}));
}

TEST_F(BridgeTest, PrintAnsiConvertsCodePage932) {
  HostPrintAnsi(kInterruptedMessage);
  HostPrintAnsi("a\x82\xa0\rb");
  HostPrintAnsi("bad\xff\x81\x20!");  // no character: 0xff, and 0x81 before a blank
  EXPECT_EQ(host->Printed(),
            (std::vector<std::wstring>{L"\u51e6\u7406\u3092\u4e2d\u65ad\u3057\u307e\u3057\u305f",
                                       L"a\u3042", L"bad?? !"}));
}

TEST_F(BridgeTest, EndOfListingCallsMesOkWithoutArguments) {
  HostAcknowledgeEnd();
  ASSERT_EQ(host->calls.size(), 1u);
  EXPECT_EQ(host->calls[0].method, L"MesOk");
  EXPECT_EQ(host->calls[0].argCount, 0u);
  EXPECT_EQ(host->calls[0].flags, DISPATCH_METHOD);
}

TEST_F(BridgeTest, ExecReportsWhetherTheHostAccepted) {
  EXPECT_TRUE(HostExec(L"&EDIT \"C:\\a.c\""));
  host->failExec = true;
  EXPECT_FALSE(HostExec(L"&EDIT \"C:\\a.c\""));
  EXPECT_EQ(host->Executed(), (std::vector<std::wstring>(2, L"&EDIT \"C:\\a.c\"")));
}

TEST_F(BridgeTest, PropertyPutCarriesTheNamedArgument) {
  BSTR text = SysAllocString(L"v");
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BSTR;
  arg.bstrVal = text;
  EXPECT_EQ(InvokeHostMethod(DISPATCH_PROPERTYPUT, nullptr, g_hostObject, L"MesPrint", 1, &arg),
            S_OK);
  SysFreeString(text);
  ASSERT_EQ(host->calls.size(), 1u);
  EXPECT_EQ(host->calls[0].namedCount, 1u);
  EXPECT_EQ(host->calls[0].flags, DISPATCH_PROPERTYPUT);
}

TEST_F(BridgeTest, UnknownMethodReturnsTheLookupFailure) {
  EXPECT_EQ(InvokeHostMethod(DISPATCH_METHOD, nullptr, g_hostObject, L"Nope", 0, nullptr),
            DISP_E_UNKNOWNNAME);
  EXPECT_TRUE(host->calls.empty());
}

TEST_F(BridgeTest, LaunchErrorEndsWithTheSystemTextWithoutItsLineBreak) {
  std::wstring system = SystemText(ERROR_FILE_NOT_FOUND);
  ASSERT_GE(system.size(), 2u);
  ASSERT_EQ(system.substr(system.size() - 2), L"\r\n");
  SetLastError(ERROR_FILE_NOT_FOUND);
  ReportLaunchError();
  EXPECT_EQ(host->Printed(),
            (std::vector<std::wstring>{L"ERROR: API = Redirect.  error code = 2.  message = " +
                                       system.substr(0, system.size() - 2)}));
}

TEST_F(BridgeTest, LaunchErrorWithoutSystemTextShowsAPlaceholder) {
  DWORD code = 0x20001234;  // an application code: the system has no text for it
  ASSERT_TRUE(SystemText(code).empty());
  SetLastError(code);
  ReportLaunchError();
  EXPECT_EQ(host->Printed(),
            (std::vector<std::wstring>{L"ERROR: API = Redirect.  error code = 536875572.  "
                                       L"message = " +
                                       std::wstring(kNoSystemText) + L"."}));
}

TEST(BridgeWithoutHost, EveryCallIsSilentAndExecFails) {
  TestHost host(/*serveHostObject=*/false);
  EXPECT_NE(ConnectHost(), HostConnection::kConnected);
  EXPECT_EQ(g_hostObject, nullptr);
  HostPrint(L"x");
  HostPrintAnsi("x");
  HostAcknowledgeEnd();
  EXPECT_FALSE(HostExec(L"x"));
  EXPECT_EQ(InvokeHostMethod(DISPATCH_METHOD, nullptr, nullptr, L"MesOk", 0, nullptr), E_FAIL);
  DisconnectHost();  // nothing to release
  EXPECT_TRUE(host.calls.empty());
}

}  // namespace
