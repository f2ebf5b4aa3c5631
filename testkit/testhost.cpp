#include "testkit/testhost.h"

#include <atomic>

const CLSID kTestHostClsid = {
    0x6d1c6e6a, 0x5a3b, 0x4c35, {0x9e, 0x0b, 0x2b, 0x2d, 0x2a, 0x1c, 0x9f, 0x01}};

namespace {

const wchar_t* const kMethods[] = {L"MesPrint", L"Exec", L"MesOk"};
std::atomic<int> g_liveObjects{0};

// IUnknown for an object with one interface besides it.
template <class Interface>
class ComObject : public Interface {
 public:
  explicit ComObject(const IID& iid) : iid_(iid) {}
  virtual ~ComObject() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == iid_) {
      *out = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  const IID& iid_;
  std::atomic<ULONG> refs_{1};
};

class HostObject : public ComObject<IDispatch> {
 public:
  explicit HostObject(TestHost* host) : ComObject(IID_IDispatch), host_(host) { ++g_liveObjects; }
  ~HostObject() override {
    --g_liveObjects;
    if (host_->onObjectGone) host_->onObjectGone();
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    namesLocale_ = locale;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (count != 1) return DISP_E_UNKNOWNNAME;
    for (DISPID id = 0; id < 3; ++id) {
      if (wcscmp(names[0], kMethods[id]) == 0) {
        ids[0] = id + 1;
        return S_OK;
      }
    }
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id < 1 || id > 3) return DISP_E_MEMBERNOTFOUND;
    HostCall call;
    call.method = kMethods[id - 1];
    call.argCount = params->cArgs;
    call.namedCount = params->cNamedArgs;
    if (params->cArgs > 0) {
      const VARIANT& first = params->rgvarg[params->cArgs - 1];  // arguments come in reverse
      call.argType = first.vt;
      if (first.vt == VT_BSTR && first.bstrVal != nullptr)
        call.text.assign(first.bstrVal, SysStringLen(first.bstrVal));
    }
    call.namesLocale = namesLocale_;
    call.callLocale = locale;
    call.flags = flags;
    call.wantedResult = result != nullptr;
    host_->calls.push_back(call);
    if (host_->onCall) host_->onCall(call);
    if (id == 2 && host_->failExec) return E_FAIL;
    return S_OK;
  }

 private:
  TestHost* host_;
  LCID namesLocale_ = 0;
};

class Factory : public ComObject<IClassFactory> {
 public:
  explicit Factory(TestHost* host) : ComObject(IID_IClassFactory), host_(host) {}
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new HostObject(host_);
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  TestHost* host_;
};

void RegisterProgId() {
  wchar_t clsid[64];
  StringFromGUID2(kTestHostClsid, clsid, 64);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"afxw.obj\\CLSID", 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid),
                 static_cast<DWORD>((wcslen(clsid) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// Entry points are found by name only, as the real host finds them.
template <class Function>
void Find(HMODULE module, Function& entry, const char* name) {
  entry = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int LiveHostObjects() {
  return g_liveObjects;
}

TestHost::TestHost(bool serveHostObject) {
  // A thread already in the multithreaded apartment keeps it: then there is nothing to undo.
  comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
  if (!serveHostObject) return;
  RegisterProgId();
  factory_ = new Factory(this);
  CoRegisterClassObject(kTestHostClsid, factory_, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                        &cookie_);
}

TestHost::~TestHost() {
  Unload();
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
  if (factory_ != nullptr) factory_->Release();
  if (comInitialized_) CoUninitialize();
}

bool TestHost::Load(const std::wstring& dllPath) {
  Unload();
  module_ = LoadLibraryW(dllPath.c_str());
  if (module_ == nullptr) return false;
  auto& a = api_;
  Find(module_, a.getPluginInfo, "ApiGetPluginInfo");
  Find(module_, a.open, "ApiOpen");
  Find(module_, a.close, "ApiClose");
  Find(module_, a.findFirst, "ApiFindFirst");
  Find(module_, a.findNext, "ApiFindNext");
  Find(module_, a.execute, "ApiExecute");
  Find(module_, a.execute2, "ApiExecute2");
  Find(module_, a.intCopyTo, "ApiIntCopyTo");
  Find(module_, a.copyFrom, "ApiCopyFrom");
  Find(module_, a.copyTo, "ApiCopyTo");
  Find(module_, a.move, "ApiMove");
  Find(module_, a.createDirectory, "ApiCreateDirectory");
  Find(module_, a.deleteEntry, "ApiDelete");
  Find(module_, a.removeDirectory, "ApiRemoveDirectory");
  Find(module_, a.rename, "ApiRename");
  Find(module_, a.showContextMenu, "ApiShowContextMenu");
  bool complete = a.getPluginInfo && a.open && a.close && a.findFirst && a.findNext && a.execute &&
                  a.execute2 && a.intCopyTo && a.copyFrom && a.copyTo && a.move &&
                  a.createDirectory && a.deleteEntry && a.removeDirectory && a.rename &&
                  a.showContextMenu;
  if (!complete) Unload();
  return complete;
}

void TestHost::Unload() {
  if (module_ != nullptr) FreeLibrary(module_);
  module_ = nullptr;
  api_ = PluginApi{};
}

std::vector<std::wstring> TestHost::Printed() const {
  std::vector<std::wstring> texts;
  for (const HostCall& call : calls)
    if (call.method == L"MesPrint") texts.push_back(call.text);
  return texts;
}

std::vector<std::wstring> TestHost::Executed() const {
  std::vector<std::wstring> texts;
  for (const HostCall& call : calls)
    if (call.method == L"Exec") texts.push_back(call.text);
  return texts;
}

int TestHost::Count(const wchar_t* method) const {
  int n = 0;
  for (const HostCall& call : calls) n += call.method == method ? 1 : 0;
  return n;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                  0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], bytes,
                      nullptr, nullptr);
  return out;
}

void WriteOut(const std::wstring& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  std::string bytes = ToUtf8(text);
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring ProgramDirectory() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, n);
  return self.substr(0, self.find_last_of(L"\\/") + 1);
}

HWND MakeMessageWindow(const wchar_t* className, WNDPROC procedure) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  RegisterClassW(&windowClass);
  return CreateWindowExW(0, className, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         windowClass.hInstance, nullptr);
}

size_t PrivateBytes() {
  size_t total = 0;
  MEMORY_BASIC_INFORMATION region;
  for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

std::wstring VersionString(const std::wstring& file, const wchar_t* name) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return std::wstring();
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data())) return std::wstring();
  std::wstring query = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ||
      value == nullptr)
    return std::wstring();
  return std::wstring(value);
}
