#include "server/explorer_command_object.h"

#include <shlwapi.h>

#include <string>

#include "common/com_boundary.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_item_array.h"
#include "platform/win32/win32_text_source.h"
#include "resources/resource_ids.h"
#include "server/call_platform.h"
#include "server/number_text.h"
#include "shellmenu/explorer_command.h"

namespace torvo::server {

namespace {

// A copy of the text from the COM task allocator, which the caller frees with CoTaskMemFree.
HRESULT HandOut(const wchar_t* text, LPWSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return ::SHStrDupW(text, out);
}

// A text of the DLL's string table, handed out; a missing text is the empty string.
HRESULT HandOutText(std::uint32_t id, LPWSTR* out) {
  const std::u16string text = win32::Win32TextSource(ResourceInstance()).LoadText(id);
  return HandOut(win32::AsWide(text.c_str()), out);
}

// "<DLL path>,-<id>": the shell's way to name an icon resource by its number.
HRESULT IconLocation(std::wstring& location) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(ResourceInstance(), path, MAX_PATH);
  if (length == 0) return HRESULT_FROM_WIN32(::GetLastError());
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);  // cut: names no file
  location.assign(path, length).append(L",-").append(NumberText(IDI_PADLOCK));
  return S_OK;
}

}  // namespace

const InterfaceEntry<CTorvoExplorerCommand>* CTorvoExplorerCommand::InterfaceMap() {
  using Self = CTorvoExplorerCommand;
  static const InterfaceEntry<Self> entries[] = {
      {&IID_IExplorerCommand, &InterfaceOf<Self, IExplorerCommand>},
      {&IID_IObjectWithSite, &InterfaceOf<Self, IObjectWithSite>},
      {nullptr, nullptr},
  };
  return entries;
}

// No exception leaves a shell call: each one runs inside the COM boundary's guard.
HRESULT CTorvoExplorerCommand::GetTitle(IShellItemArray*, LPWSTR* name) {
  return AtComBoundary([&] { return HandOutText(IDS_MENU_TEXT, name); });
}

HRESULT CTorvoExplorerCommand::GetToolTip(IShellItemArray*, LPWSTR* tip) {
  return AtComBoundary([&] { return HandOutText(IDS_HELP_TEXT, tip); });
}

HRESULT CTorvoExplorerCommand::GetIcon(IShellItemArray*, LPWSTR* icon) {
  return AtComBoundary([&]() -> HRESULT {
    if (icon == nullptr) return E_POINTER;
    *icon = nullptr;
    std::wstring location;
    const HRESULT hr = IconLocation(location);
    if (FAILED(hr)) return hr;
    return HandOut(location.c_str(), icon);
  });
}

HRESULT CTorvoExplorerCommand::GetCanonicalName(GUID* name) {
  if (name == nullptr) return E_POINTER;
  *name = kExplorerCommandCanonicalName;
  return S_OK;
}

// The agent's lookup and question take up to a second each: on the shell's UI thread (okToBeSlow
// false) the answer that needs them is E_PENDING, and the shell asks again off that thread.
HRESULT CTorvoExplorerCommand::GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) {
  return AtComBoundary([&] {
    win32::Win32ItemArray array(items);
    CallPlatform platform;
    std::uint32_t answer = kEcsHidden;
    const HRESULT hr =
        GetExplorerCommandState(&array, platform.platform, state != nullptr ? &answer : nullptr, okToBeSlow != FALSE);
    if (state != nullptr) *state = answer;
    return hr;
  });
}

HRESULT CTorvoExplorerCommand::Invoke(IShellItemArray* items, IBindCtx*) {
  return AtComBoundary([&] {
    win32::Win32ItemArray array(items);
    CallPlatform platform;
    return InvokeExplorerCommand(&array, platform.platform);
  });
}

HRESULT CTorvoExplorerCommand::GetFlags(EXPCMDFLAGS* flags) {
  if (flags == nullptr) return E_POINTER;
  *flags = ECF_DEFAULT;
  return S_OK;
}

// One command, no submenu.
HRESULT CTorvoExplorerCommand::EnumSubCommands(IEnumExplorerCommand** commands) {
  if (commands != nullptr) *commands = nullptr;
  return E_NOTIMPL;
}

HRESULT CTorvoExplorerCommand::SetSite(IUnknown* site) {
  return AtComBoundary([&] {
    if (site != nullptr) site->AddRef();
    m_site.Reset(site);
    return S_OK;
  });
}

HRESULT CTorvoExplorerCommand::GetSite(REFIID iid, void** site) {
  return AtComBoundary([&]() -> HRESULT {
    if (site == nullptr) return E_POINTER;
    *site = nullptr;
    if (!m_site) return E_FAIL;
    return m_site->QueryInterface(iid, site);
  });
}

}  // namespace torvo::server
