// Plays the file manager for sarvik: serves the "afxw.obj" automation object on the calling
// thread, records every call made on it, and loads a plugin DLL and finds its entry points by
// name, as the real host does. Used by the command-line host and the tests under Wine.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin/api.h"

struct HostCall {
  std::wstring method;  // as looked up by name
  UINT argCount = 0;
  UINT namedCount = 0;
  VARTYPE argType = VT_EMPTY;
  std::wstring text;  // the string argument, if any
  LCID namesLocale = 0;
  LCID callLocale = 0;
  WORD flags = 0;
  bool wantedResult = false;
};

// The entry points as found by name in a loaded plugin, typed by the plugin's own declarations.
struct PluginApi {
  decltype(&ApiGetPluginInfo) getPluginInfo;
  decltype(&ApiOpen) open;
  decltype(&ApiClose) close;
  decltype(&ApiFindFirst) findFirst;
  decltype(&ApiFindNext) findNext;
  decltype(&ApiExecute) execute;
  decltype(&ApiExecute2) execute2;
  decltype(&ApiIntCopyTo) intCopyTo;
  decltype(&UnsupportedWithFour) copyFrom, copyTo, move;
  decltype(&UnsupportedWithTwo) createDirectory, deleteEntry, removeDirectory;
  decltype(&ApiRename) rename;
  decltype(&ApiShowContextMenu) showContextMenu;
};

class TestHost {
 public:
  // Initialises COM on the calling thread (in the single-threaded apartment, unless the thread is
  // in the multithreaded one already) and, unless told not to, registers "afxw.obj" and its class
  // object there, so the plugin finds the host object when it is loaded on this thread.
  explicit TestHost(bool serveHostObject = true);
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  // LoadLibrary, then every entry point by its name; false (and nothing loaded) when one is
  // missing.
  bool Load(const std::wstring& dllPath);
  void Unload();
  const PluginApi& api() const { return api_; }
  HMODULE module() const { return module_; }

  std::vector<HostCall> calls;
  bool failExec = false;                        // Exec answers E_FAIL
  std::function<void(const HostCall&)> onCall;  // told of each call as it comes
  std::function<void()> onObjectGone;           // told when a host object is released

  std::vector<std::wstring> Printed() const;   // every MesPrint text, in order
  std::vector<std::wstring> Executed() const;  // every Exec text, in order
  int Count(const wchar_t* method) const;

 private:
  bool comInitialized_ = false;
  IClassFactory* factory_ = nullptr;
  DWORD cookie_ = 0;
  HMODULE module_ = nullptr;
  PluginApi api_ = {};
};

// How many host objects exist: the plugin must release the one it was given.
int LiveHostObjects();

// The test host's class id for "afxw.obj".
extern const CLSID kTestHostClsid;

// Text helpers for hosts that print: UTF-8 for pipes and files, wide for a console.
std::string ToUtf8(const std::wstring& text);
void WriteOut(const std::wstring& text);
// The folder of the running program, with its trailing backslash: the DLL and tools are there.
std::wstring ProgramDirectory();
// A message-only window of the calling thread, as a host has: its messages are dispatched only
// while someone pumps that thread's queue. Null when it cannot be made.
HWND MakeMessageWindow(const wchar_t* className, WNDPROC procedure);
// Committed private memory, by walking the address space (Wine's process counters stay 0).
size_t PrivateBytes();
// Reads a value of the version resource's "041104b0" string block.
std::wstring VersionString(const std::wstring& file, const wchar_t* name);
