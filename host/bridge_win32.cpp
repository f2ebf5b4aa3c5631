#include "host/bridge.h"

#include <cstdlib>
#include <cwchar>

#include "host/launch_error.h"
#include "host/texts.h"

IDispatch* g_hostObject = nullptr;

namespace {
// Whether attach initialised COM on the host's thread (S_OK or S_FALSE): only then may detach
// uninitialise it. On a thread already in another apartment the call fails and the host's own
// initialisation is not ours to undo.
bool g_comInitialized = false;
}  // namespace

HostConnection ConnectHost() {
  if (g_hostObject != nullptr) return HostConnection::kAlreadyConnected;
  // Whatever this returns, the object is asked for.
  g_comInitialized = SUCCEEDED(CoInitialize(nullptr));
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(kHostProgId, &clsid))) return HostConnection::kNoClass;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&g_hostObject)))) {
    g_hostObject = nullptr;
    return HostConnection::kNotCreated;
  }
  return HostConnection::kConnected;
}

void DisconnectHost() {
  if (g_hostObject != nullptr) g_hostObject->Release();
  g_hostObject = nullptr;
  if (g_comInitialized) CoUninitialize();
  g_comInitialized = false;
}

HRESULT InvokeHostMethod(WORD kind, VARIANT* result, IDispatch* object, const wchar_t* name,
                         UINT count, const VARIANT* args) {
  if (object == nullptr) return E_FAIL;
  DISPID member = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, kNameLookupLocale, &member);
  if (FAILED(hr)) return hr;

  // Plain copies: the strings stay the caller's, so the array is freed without clearing them.
  VARIANT* list = static_cast<VARIANT*>(calloc(count + 1, sizeof(VARIANT)));
  if (list == nullptr) return E_OUTOFMEMORY;
  for (UINT i = 0; i < count; ++i) list[i] = args[i];
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {list, nullptr, count, 0};
  if ((kind & DISPATCH_PROPERTYPUT) != 0) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  hr = object->Invoke(member, IID_NULL, kCallLocale, kind, &params, result, nullptr, nullptr);
  free(list);
  return hr;
}

namespace {

// The host shows one line per call: a text is sent up to its first carriage return.
HRESULT CallWithText(const wchar_t* method, const wchar_t* text) {
  BSTR sent = SysAllocStringLen(text, static_cast<UINT>(wcscspn(text, L"\r")));
  if (sent == nullptr) return E_OUTOFMEMORY;
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BSTR;
  arg.bstrVal = sent;
  HRESULT hr = InvokeHostMethod(DISPATCH_METHOD, nullptr, g_hostObject, method, 1, &arg);
  SysFreeString(sent);
  return hr;
}

}  // namespace

void HostPrint(const wchar_t* text) {
  CallWithText(L"MesPrint", text);
}

Decoded Cp932ToWide(wchar_t* out, size_t capacity, const char* text) {
  size_t n = mbstowcs(out, text, capacity - 1);
  if (n != static_cast<size_t>(-1)) {
    out[n] = 0;
    // Only a text that filled the field may have gone on.
    if (n < capacity - 1 || mbstowcs(nullptr, text, 0) == n) return Decoded::kValid;
    out[0] = 0;
    return Decoded::kTooLong;
  }
  // One character at a time, by the system's table: the runtime's own single-character
  // conversion turns some bytes that are no character into private or middle-dot characters.
  n = 0;
  while (*text != 0 && n + 1 < capacity) {
    int used = IsCp932LeadByte(text[0]) && text[1] != 0 ? 2 : 1;
    if (MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, text, used, &out[n], 1) != 1) {
      out[n] = L'?';
      used = 1;
    }
    ++n;
    text += used;
  }
  out[*text == 0 ? n : 0] = 0;
  return *text == 0 ? Decoded::kReplaced : Decoded::kTooLong;
}

void HostPrintAnsi(const char* text) {
  size_t bytes = strlen(text);
  // A byte never gives more than one character.
  wchar_t* wide = static_cast<wchar_t*>(calloc(bytes + 1, sizeof(wchar_t)));
  if (wide == nullptr) return;
  Cp932ToWide(wide, bytes + 1, text);
  HostPrint(wide);
  free(wide);
}

bool HostExec(const wchar_t* text) {
  return SUCCEEDED(CallWithText(L"Exec", text));
}

void HostAcknowledgeEnd() {
  InvokeHostMethod(DISPATCH_METHOD, nullptr, g_hostObject, L"MesOk", 0, nullptr);
}

void ReportLaunchError() {
  DWORD code = GetLastError();
  wchar_t* systemText = nullptr;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                     LANG_USER_DEFAULT, reinterpret_cast<wchar_t*>(&systemText), 0, nullptr);
  bool hasText = length != 0 && systemText != nullptr;
  wchar_t line[kLaunchErrorCapacity];
  FormatLaunchError(line, kLaunchErrorApi, static_cast<int32_t>(code),
                    hasText ? systemText : kNoSystemText);
  HostPrint(line);
  if (hasText) LocalFree(systemText);  // only what the system allocated
}
