// The host bridge: the host's automation object and every call made on it. (Win32)
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "common/code_page.h"

inline constexpr wchar_t kHostProgId[] = L"afxw.obj";
constexpr LCID kNameLookupLocale = 0x400;  // LOCALE_USER_DEFAULT
constexpr LCID kCallLocale = 0x800;        // LOCALE_SYSTEM_DEFAULT

// The process-wide host object, null while not connected.
extern IDispatch* g_hostObject;

enum class HostConnection {
  kConnected,
  kNoClass,           // "afxw.obj" names no registered class
  kNotCreated,        // the object cannot be created
  kAlreadyConnected,  // nothing is done
};
HostConnection ConnectHost();
// Releases the object, if one was obtained, and undoes connect's COM initialisation, if it
// succeeded.
void DisconnectHost();

// The general late-bound call. Exactly `count` arguments are read from `args`; the caller keeps
// ownership of the strings they hold.
HRESULT InvokeHostMethod(WORD kind, VARIANT* result, IDispatch* object, const wchar_t* name,
                         UINT count, const VARIANT* args);

// Code page 932 text as wide text, terminated: the runtime's conversion under the locale set at
// load, and where it fails, the bytes that are no character stand as one '?' each. kTooLong, and
// an empty field, when it takes more than capacity - 1 characters.
Decoded Cp932ToWide(wchar_t* out, size_t capacity, const char* text);

// MesPrint with the text up to its first carriage return.
void HostPrint(const wchar_t* text);
// The same for a code page 932 text (Cp932ToWide), so a line with bytes that are no character is
// never printed empty.
void HostPrintAnsi(const char* text);
// Exec; true when the host's result is not negative.
bool HostExec(const wchar_t* text);
// MesOk, with no argument: the end of a listing.
void HostAcknowledgeEnd();
// The launch failure line for the calling thread's last error code.
void ReportLaunchError();
