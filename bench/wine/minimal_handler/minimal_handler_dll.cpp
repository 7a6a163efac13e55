// minimal_handler.dll: the smallest context-menu handler and Explorer command that make the
// platform calls of one right-click on TorvoShellMenu.dll (the selection read, the agent looked up
// on a thread of its own and asked for its drive, the protected places expanded and compared, the
// item inserted with its bitmap) and hold nothing else: built without exceptions, it links none of
// the C++ runtime, and it has no static object to build. What its loads and unloads leave behind,
// and what its first load costs, is the platform's share.
#include <windows.h>
#include <shlguid.h>
#include <shlobj.h>

#include <new>

#include "minimal_handler_ids.h"
#include "resources/resource_ids.h"
#include "shellmenu/protected_paths.h"

namespace {

HMODULE g_module = nullptr;
LONG g_locks = 0;

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

// The decision's platform calls: the agent's drive, the protected places against the last item.
void JudgeLastItem(const wchar_t* lastItem) {
  const HWND agent = LookUpAgent();
  COPYDATASTRUCT query{1005, 0, nullptr};
  DWORD_PTR answer = 0;
  if (agent != nullptr) {
    ::SendMessageTimeoutW(agent, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&query), SMTO_ABORTIFHUNG, 1000, &answer);
  }
  wchar_t expanded[MAX_PATH];
  for (std::size_t row = 0; row < torvo::kProtectedPathCount; ++row) {  // the protected places
    ::ExpandEnvironmentStringsW(L"%SystemRoot%", expanded, MAX_PATH);
    ::FindStringOrdinal(FIND_FROMSTART, lastItem, -1, expanded, -1, TRUE);
  }
}

// The last path of a data object's drop-file list, as Initialize reads it.
HRESULT ReadLastItem(IDataObject* data, wchar_t (&lastItem)[MAX_PATH]) {
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (FAILED(data->GetData(&format, &medium))) return E_INVALIDARG;
  const auto drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal));
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  if (count > 0) ::DragQueryFileW(drop, count - 1, lastItem, MAX_PATH);
  ::GlobalUnlock(medium.hGlobal);
  ::ReleaseStgMedium(&medium);
  return S_OK;
}

// The reference count and module lock of every object here.
template <class Self>
class Counted {
 public:
  Counted() { ::InterlockedIncrement(&g_locks); }
  ~Counted() { ::InterlockedDecrement(&g_locks); }
  ULONG Add() { return ++count_; }
  ULONG Drop() {
    if (--count_ > 0) return count_;
    Self* self = static_cast<Self*>(this);
    self->~Self();
    ::HeapFree(::GetProcessHeap(), 0, self);
    return 0;
  }

 private:
  ULONG count_ = 0;
};

// The item's image as the DLL draws it: the padlock icon at the screen's small-icon size, copied
// into a 32-bit DIB section (the DLL premultiplies it too, which costs no platform call).
HBITMAP PadlockImage() {
  const HDC screen = ::GetDC(nullptr);
  const int size = ::MulDiv(16, ::GetDeviceCaps(screen, LOGPIXELSX), 96);
  HBITMAP image = nullptr;
  const HICON icon = static_cast<HICON>(
      ::LoadImageW(g_module, MAKEINTRESOURCEW(IDI_PADLOCK), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  ICONINFO parts{};
  if (icon != nullptr && ::GetIconInfo(icon, &parts)) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    image = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (image != nullptr) ::GetDIBits(screen, parts.hbmColor, 0, size, bits, &info, DIB_RGB_COLORS);
    ::DeleteObject(parts.hbmColor);
    ::DeleteObject(parts.hbmMask);
  }
  if (icon != nullptr) ::DestroyIcon(icon);
  ::ReleaseDC(nullptr, screen);
  return image;
}

class Handler final : public Counted<Handler>, public IShellExtInit, public IContextMenu {
 public:
  Handler() : bitmap_(PadlockImage()) {}
  ~Handler() { ::DeleteObject(bitmap_); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown) || ::IsEqualIID(iid, IID_IShellExtInit))
      *out = static_cast<IShellExtInit*>(this);
    if (::IsEqualIID(iid, IID_IContextMenu)) *out = static_cast<IContextMenu*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
    return ReadLastItem(data, lastItem_);
  }

  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
    JudgeLastItem(lastItem_);
    wchar_t text[64] = {};
    ::LoadStringW(g_module, 101, text, 64);
    ::InsertMenuW(menu, index, MF_BYPOSITION | MF_STRING, first, text);
    MENUITEMINFOW image{};
    image.cbSize = sizeof(image);
    image.fMask = MIIM_BITMAP;
    image.hbmpItem = bitmap_;
    ::SetMenuItemInfoW(menu, index, TRUE, &image);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
  }
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) override { return E_NOTIMPL; }

 private:
  HBITMAP bitmap_;
  wchar_t lastItem_[MAX_PATH] = {};
};

// GetState reads the items as the DLL's command does: their data object when the array offers one,
// else each item's path.
class Command final : public Counted<Command>, public IExplorerCommand {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IExplorerCommand)) return E_NOINTERFACE;
    *out = static_cast<IExplorerCommand*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

  HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) override {
    wchar_t lastItem[MAX_PATH] = {};
    IDataObject* data = nullptr;
    if (SUCCEEDED(items->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, reinterpret_cast<void**>(&data)))) {
      ReadLastItem(data, lastItem);
      data->Release();
    } else {
      ReadEachItem(items, lastItem);
    }
    JudgeLastItem(lastItem);
    *state = ECS_ENABLED;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray*, LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray*, LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray*, LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray*, IBindCtx*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand**) override { return E_NOTIMPL; }

 private:
  static void ReadEachItem(IShellItemArray* items, wchar_t (&lastItem)[MAX_PATH]) {
    DWORD count = 0;
    items->GetCount(&count);
    for (DWORD i = 0; i < count; ++i) {
      IShellItem* item = nullptr;
      if (FAILED(items->GetItemAt(i, &item))) continue;
      wchar_t* path = nullptr;
      if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        ::lstrcpynW(lastItem, path, MAX_PATH);
        ::CoTaskMemFree(path);
      }
      item->Release();
    }
  }
};

// A class object, a constant of the image: COM's references to it do not keep the DLL.
template <class Object>
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
    void* memory = ::HeapAlloc(::GetProcessHeap(), 0, sizeof(Object));
    if (memory == nullptr) return E_OUTOFMEMORY;
    Object* object = new (memory) Object();
    object->AddRef();
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ::InterlockedIncrement(&g_locks) : ::InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

Factory<Handler> g_handlerFactory;
Factory<Command> g_commandFactory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (::IsEqualCLSID(clsid, kMinimalHandlerClsid)) return g_handlerFactory.QueryInterface(iid, out);
  if (::IsEqualCLSID(clsid, kMinimalCommandClsid)) return g_commandFactory.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }
