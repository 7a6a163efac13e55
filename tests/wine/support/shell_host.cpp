#include "tests/wine/support/shell_host.h"

#include <cstdio>

#include <optional>

#include "platform/win32/unique_handle.h"
#include "tests/fakes/drop_block.h"
#include "tests/wine/support/host_process.h"
#include "tests/wine/support/memory_data_object.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo::wine {

namespace {

constexpr POINT kMenuPosition = {40, 40};  // where the menu opens on the screen, as after a right-click
const wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

win32::UniqueRegKey OpenKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  return win32::UniqueRegKey(key);
}

bool ReadString(HKEY root, const std::wstring& path, const wchar_t* value, std::wstring& out) {
  win32::UniqueRegKey key = OpenKey(root, path);
  if (!key) return false;
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  if (::RegQueryValueExW(key.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  out = buffer;
  return true;
}

// The classes view as Windows merges it: the user's classes first, then the machine's.
bool ReadClassesString(const std::wstring& path, const wchar_t* value, std::wstring& out, bool* fromUser = nullptr) {
  if (ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\" + path, value, out)) {
    if (fromUser != nullptr) *fromUser = true;
    return true;
  }
  if (fromUser != nullptr) *fromUser = false;
  return ReadString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + path, value, out);
}

std::vector<std::wstring> SubkeyNames(HKEY root, const std::wstring& path) {
  std::vector<std::wstring> names;
  win32::UniqueRegKey key = OpenKey(root, path);
  if (!key) return names;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = 256;
    if (::RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name);
  }
  return names;
}

bool IsApproved(const std::wstring& name, const std::wstring& clsid) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    std::wstring value;
    if (ReadString(root, kApprovedKey, clsid.c_str(), value)) return true;  // a value named by the CLSID
    if (ReadString(root, std::wstring(kApprovedKey) + L"\\" + name, nullptr, value) &&
        lstrcmpiW(value.c_str(), clsid.c_str()) == 0) {
      return true;  // a key named after the handler holding the CLSID
    }
  }
  return false;
}

// A per-user class: load its server and ask its DllGetClassObject, as COM does on Windows.
HRESULT CreatePerUser(const HandlerRegistration& handler, const CLSID& clsid, win32::UniqueLibrary& server,
                      win32::ComPtr<IShellExtInit>& out) {
  server.Reset(::LoadLibraryW(handler.inprocPath.c_str()));
  if (!server) return HRESULT_FROM_WIN32(::GetLastError());
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto getClassObject =
      reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(::GetProcAddress(server.Get(), "DllGetClassObject")));
  if (getClassObject == nullptr) return E_NOINTERFACE;
  win32::ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, IID_IShellExtInit, out.PutVoid());
}

// A server that exports DllCanUnloadNow and does not agree to be unloaded.
bool HoldsObjects(HMODULE server) {
  const HRESULT answer = CanUnloadNowOf(server);
  return answer != S_OK && answer != E_NOINTERFACE;
}

// A shell stays open while the work a command started runs on: once every object is released,
// wait (at most 45 s, well inside a test case's limit) until the handler's server agrees to be
// unloaded, and say so when it does not.
void WaitUntilServerCanUnload(const std::wstring& serverPath) {
  const HMODULE server = ::GetModuleHandleW(serverPath.substr(serverPath.find_last_of(L'\\') + 1).c_str());
  if (server == nullptr) return;
  if (!WaitUntil([server] { return !HoldsObjects(server); }, 45000)) {
    std::fprintf(stderr, "shell host: waited 45 s in vain for %ls to let go of the work it started\n",
                 serverPath.c_str());
  }
}

struct MenuTraits {
  using Handle = HMENU;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DestroyMenu(h); }
};

// The popup menu that the host offers before any handler adds to it.
HMENU CreateHostMenu() {
  HMENU menu = ::CreatePopupMenu();
  for (const HostItem& item : kHostItems) {
    if (item.text == nullptr) {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else if (item.submenuItem != nullptr) {
      HMENU submenu = ::CreatePopupMenu();
      ::AppendMenuW(submenu, MF_STRING, item.id, item.submenuItem);
      ::AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu), item.text);
    } else {
      ::AppendMenuW(menu, MF_STRING, item.id, item.text);
    }
  }
  ::SetMenuDefaultItem(menu, kHostItems[0].id, FALSE);
  return menu;
}

// The drop-file list of the items, as a data object of the host's own.
std::vector<std::uint8_t> DropListOf(const std::vector<std::wstring>& items) {
  std::vector<std::u16string> paths;
  for (const std::wstring& item : items) paths.emplace_back(item.begin(), item.end());
  return fakes::WideDropBlock(paths);
}

}  // namespace

std::vector<HandlerRegistration> FindContextMenuHandlers(const std::wstring& classKey) {
  const std::wstring listKey = classKey + L"\\ShellEx\\ContextMenuHandlers";
  std::vector<std::wstring> names = SubkeyNames(HKEY_CURRENT_USER, L"Software\\Classes\\" + listKey);
  for (const auto& name : SubkeyNames(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + listKey)) {
    bool known = false;
    for (const auto& n : names) known = known || lstrcmpiW(n.c_str(), name.c_str()) == 0;
    if (!known) names.push_back(name);
  }
  std::vector<HandlerRegistration> handlers;
  for (const auto& name : names) {
    HandlerRegistration handler;
    handler.name = name;
    if (!ReadClassesString(listKey + L"\\" + name, nullptr, handler.clsid)) continue;
    handler.approved = IsApproved(name, handler.clsid);
    ReadClassesString(L"CLSID\\" + handler.clsid + L"\\InprocServer32", nullptr, handler.inprocPath, &handler.perUser);
    handlers.push_back(handler);
  }
  return handlers;
}

std::vector<MenuLine> ReadMenu(HMENU menu) {
  std::vector<MenuLine> lines;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP;
    info.dwTypeData = text;
    info.cch = 255;
    if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    lines.push_back({info.wID, text, info.hbmpItem != nullptr});
  }
  return lines;
}

HostRun RunContextMenu(const HostRequest& request) {
  HostRun run;
  HandlerRegistration handler;
  for (const auto& h : FindContextMenuHandlers(request.classKey)) {
    if (lstrcmpiW(h.name.c_str(), request.handlerName.c_str()) == 0 && h.approved) handler = h;
  }
  CLSID clsid{};
  if (handler.clsid.empty() || FAILED(::CLSIDFromString(handler.clsid.c_str(), &clsid))) return run;

  win32::UniqueLibrary perUserServer;
  std::optional<HostProcessReference> hostProcess;
  if (request.explorer) hostProcess.emplace();
  MemoryDataObject ownList(DropListOf(request.items), TYMED_HGLOBAL);
  {
    win32::ComPtr<IShellExtInit> init;
    run.createResult =
        handler.perUser ? CreatePerUser(handler, clsid, perUserServer, init)
                        : ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.PutVoid());
    run.handlerCreated = SUCCEEDED(run.createResult);
    if (!run.handlerCreated) return run;

    auto dataObject = request.dropList ? win32::ComPtr<IDataObject>() : ShellDataObjectFor(request.items);
    run.initializeResult = init->Initialize(nullptr, request.dropList ? &ownList : dataObject.Get(), nullptr);

    win32::ComPtr<IContextMenu> contextMenu;
    init->QueryInterface(IID_IContextMenu, contextMenu.PutVoid());
    win32::UniqueOwner<MenuTraits> menu(CreateHostMenu());
    run.queryResult =
        contextMenu->QueryContextMenu(menu.Get(), request.indexMenu, request.idCmdFirst, 0x7FFF, CMF_NORMAL);
    run.menu = ReadMenu(menu.Get());
    if (!request.picture.empty()) run.picture = CaptureMenu(menu.Get(), kMenuPosition, request.picture);
    if (HRESULT_CODE(run.queryResult) == 1) {
      wchar_t help[256] = {};
      if (SUCCEEDED(contextMenu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(help), 256))) {
        run.helpText = help;
      }
      if (request.invoke) {
        // As Explorer invokes a chosen item: the extended record, the verb in both forms.
        CMINVOKECOMMANDINFOEX command{};
        command.cbSize = sizeof(command);
        command.fMask = CMIC_MASK_UNICODE | CMIC_MASK_PTINVOKE | request.invokeMask;
        command.lpVerb = MAKEINTRESOURCEA(0);
        command.lpVerbW = request.verb.empty() ? MAKEINTRESOURCEW(0) : request.verb.c_str();
        command.nShow = SW_SHOWNORMAL;
        command.ptInvoke = kMenuPosition;
        const ULONGLONG start = ::GetTickCount64();
        run.invokeResult = contextMenu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&command));
        if (request.endAfterInvoke) ::ExitProcess(SUCCEEDED(run.invokeResult) ? 0 : 1);
        run.invokeMilliseconds = ::GetTickCount64() - start;
        run.invoked = true;
      }
    }
  }
  if (run.invoked) {
    const ULONGLONG start = ::GetTickCount64() - run.invokeMilliseconds;
    WaitUntilServerCanUnload(handler.inprocPath);
    run.workMilliseconds = ::GetTickCount64() - start;
  }
  // Every object is released; a per-user server goes when it agrees to.
  if (perUserServer && HoldsObjects(perUserServer.Get())) perUserServer.Release();
  return run;
}

}  // namespace torvo::wine
