// minimal_handler.dll: the smallest context-menu handler that makes the platform calls of one
// right-click on TorvoShellMenu.dll (the drop list read, the agent looked up on a thread of its own
// and asked for its drive, the protected places expanded and compared, the item inserted with its
// bitmap) and holds nothing else: built without exceptions, it links none of the C++ runtime, and
// it has no static object to build. What its loads and unloads leave behind is the platform's share.
#include <windows.h>
#include <shlobj.h>

#include <new>

namespace {

HMODULE g_module = nullptr;
LONG g_locks = 0;

// {6F1E8C2A-3B47-4D59-9A61-0C2E7B84D3F5}, named only by the test that loads this DLL.
constexpr CLSID kMinimalHandlerClsid = {0x6f1e8c2a, 0x3b47, 0x4d59, {0x9a, 0x61, 0x0c, 0x2e, 0x7b, 0x84, 0xd3, 0xf5}};

DWORD WINAPI FindAgent(void* result) {
  *static_cast<HWND*>(result) = ::FindWindowW(L"ZebTorvoFloat", nullptr);
  ::FreeLibraryAndExitThread(g_module, 0);
}

// The agent's window, looked up on a thread that holds the module as the DLL's lookup does.
HWND LookUpAgent() {
  HWND window = nullptr;
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&FindAgent), &self);
  const HANDLE thread = ::CreateThread(nullptr, 0, &FindAgent, &window, 0, nullptr);
  if (thread == nullptr) return nullptr;
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  return window;
}

class Handler final : public IShellExtInit, public IContextMenu {
 public:
  Handler() : bitmap_(::LoadBitmapW(g_module, MAKEINTRESOURCEW(201))) { ::InterlockedIncrement(&g_locks); }
  ~Handler() {
    ::DeleteObject(bitmap_);
    ::InterlockedDecrement(&g_locks);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IShellExtInit))
      *out = static_cast<IShellExtInit*>(this);
    if (::IsEqualIID(iid, IID_IContextMenu)) *out = static_cast<IContextMenu*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (--count_ > 0) return count_;
    this->~Handler();
    ::HeapFree(::GetProcessHeap(), 0, this);
    return 0;
  }

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
    const auto drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal));
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    if (count > 0) ::DragQueryFileW(drop, count - 1, lastItem_, MAX_PATH);
    ::GlobalUnlock(medium.hGlobal);
    ::ReleaseStgMedium(&medium);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
    const HWND agent = LookUpAgent();
    COPYDATASTRUCT query{1005, 0, nullptr};
    DWORD_PTR answer = 0;
    if (agent != nullptr) {
      ::SendMessageTimeoutW(agent, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&query), SMTO_ABORTIFHUNG, 1000, &answer);
    }
    wchar_t expanded[MAX_PATH];
    for (int row = 0; row < 45; ++row) {  // the protected places
      ::ExpandEnvironmentStringsW(L"%SystemRoot%", expanded, MAX_PATH);
      ::FindStringOrdinal(FIND_FROMSTART, lastItem_, -1, expanded, -1, TRUE);
    }
    wchar_t text[64] = {};
    ::LoadStringW(g_module, 101, text, 64);
    ::InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, first, text);
    ::SetMenuItemBitmaps(menu, index, MF_BYPOSITION, bitmap_, bitmap_);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
  }
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) override { return E_NOTIMPL; }

 private:
  ULONG count_ = 0;
  HBITMAP bitmap_;
  wchar_t lastItem_[MAX_PATH] = {};
};

// The class object, a constant of the image: COM's references to it do not keep the DLL.
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
    void* memory = ::HeapAlloc(::GetProcessHeap(), 0, sizeof(Handler));
    if (memory == nullptr) return E_OUTOFMEMORY;
    Handler* handler = new (memory) Handler();
    handler->AddRef();
    const HRESULT hr = handler->QueryInterface(iid, out);
    handler->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ::InterlockedIncrement(&g_locks) : ::InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!::IsEqualCLSID(clsid, kMinimalHandlerClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }
