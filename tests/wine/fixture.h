// What the tests under Wine share: a copy of sarvik.dll in a fresh folder with the sarvik.ini the
// test writes, loaded by the test host; helpers for the search programs, files and keys.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <thread>

#include "testkit/testhost.h"

std::wstring ChildCommand();  // the scripted child, quoted, ready for GrepCommand
std::wstring SgrepCommand();  // sgrep /N /I /P, quoted
std::wstring MakeTempDirectory();
void RemoveTree(const std::wstring& directory);
void WriteBytes(const std::wstring& path, const std::string& bytes);
// An INI file in UTF-16 with its byte order mark, read the same whatever the ANSI code page.
void WriteIni(const std::wstring& path, const std::wstring& content);
std::wstring Cp932ToWide(const std::string& text);
// The system's message for an error code, as FormatMessageW gives it (empty when it has none).
std::wstring SystemText(DWORD code);

// What the process holds, measured the same way on Windows and under Wine (whose process counters
// stay 0): handle values that are valid, and committed private memory.
struct Usage {
  unsigned handles;
  size_t privateBytes;
};
Usage MeasureUsage();
// Emulated, where every call costs ten times as much, the soak loops run short (SARVIK_SOAK=short):
// long enough still to show a leak of one context or one handle a cycle, and every kind of line.
bool ShortSoak();

// Presses and releases Escape, as a user would, after a pause; the next poll sees it.
std::thread PressEscapeAfter(DWORD milliseconds);
void ForgetEscape();  // takes a stale press away before a test that waits

// Run as `wine_tests <role> exit|unload FOLDER`, the program plays a host that loads FOLDER's
// sarvik.dll and then ends its process (after unloading the DLL, with `unload`).
inline constexpr char kHoldHostObjectRole[] = "--hold-host-object-then-exit";
// Run as `wine_tests <role> FOLDER`, the program plays a host that lists FOLDER's search (a child
// that prints one result, then waits) and, from a message that the listing's wait dispatches,
// closes it and unloads the DLL; it exits with 0 once the listing call has returned -1.
inline constexpr char kCloseAndUnloadRole[] = "--close-and-unload-in-a-message";

struct Listed {
  std::vector<FindRecord> records;
  std::vector<std::wstring> names;
  int last = 0;  // the result that ended the listing
};

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Copies the DLL (under `dllName`) into the test's folder, writes sarvik.ini there when
  // `ini` is given, and loads it through a fresh test host.
  void Load(const std::map<std::wstring, std::wstring>& ini = {}, bool hostObject = true,
            const std::wstring& dllName = L"sarvik.dll");
  void WriteConfig(const std::map<std::wstring, std::wstring>& ini);
  HANDLE Open(const std::wstring& argument);  // asserts that it opened
  const SearchContext& Context(HANDLE handle) { return *static_cast<const SearchContext*>(handle); }
  const PluginApi& api() { return host->api(); }
  // ApiFindFirst, then ApiFindNext until it stops returning 1.
  Listed List(HANDLE handle);
  // Opens `arguments` on the test's folder with GrepCommand set to the scripted child.
  HANDLE OpenChild(const std::wstring& script, bool messageOutput = false);

  std::unique_ptr<TestHost> host;
  std::wstring folder;  // the test's own, with a trailing backslash
  OpenResultRecord openResult;
};
