#include "server/context_menu_handler.h"

#include "common/com_boundary.h"
#include "platform/win32/menu_image.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_drop_files.h"
#include "resources/resource_ids.h"
#include "server/call_platform.h"
#include "server/module_handles.h"
#include "shellmenu/context_menu.h"
#include "shellmenu/selection.h"

namespace torvo::server {

using win32::AsUtf16;

static_assert(kCmicMaskNoAsync == CMIC_MASK_NOASYNC && kCmicMaskFlagNoUi == CMIC_MASK_FLAG_NO_UI);

const InterfaceEntry<CTorvoShellContextMenu>* CTorvoShellContextMenu::InterfaceMap() {
  using Self = CTorvoShellContextMenu;
  static const InterfaceEntry<Self> entries[] = {
      {&IID_ITorvoShellContextMenu, &InterfaceOf<Self, ITorvoShellContextMenu>},
      {&IID_IDispatch, &InterfaceOf<Self, ITorvoShellContextMenu>},
      {&IID_IShellExtInit, &InterfaceOf<Self, IShellExtInit>},
      {&IID_IContextMenu, &InterfaceOf<Self, IContextMenu>},
      {nullptr, nullptr},
  };
  return entries;
}

HRESULT CTorvoShellContextMenu::FinalConstruct() {
  m_bitmap = win32::MenuImage(ResourceInstance(), IDI_PADLOCK, win32::ScreenDpi());
  m_state.menuBitmap = reinterpret_cast<BitmapHandle>(m_bitmap.Get());
  m_state.m_selection.clear();
  return S_OK;
}

// No exception leaves a shell call: each one runs inside the COM boundary's guard.
HRESULT CTorvoShellContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject, HKEY) {
  return AtComBoundary([&]() -> HRESULT {
    if (dataObject == nullptr) return E_INVALIDARG;
    win32::Win32DropFiles drop(dataObject);
    return CaptureSelection(&drop, m_state);
  });
}

HRESULT CTorvoShellContextMenu::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                                 UINT flags) {
  return AtComBoundary([&] {
    CallPlatform platform;
    return torvo::QueryContextMenu(m_state, platform.platform, reinterpret_cast<MenuHandle>(menu), indexMenu,
                                   idCmdFirst, idCmdLast, flags);
  });
}

HRESULT CTorvoShellContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* command) {
  return AtComBoundary([&]() -> HRESULT {
    if (command == nullptr) return E_INVALIDARG;
    InvokeCommandRecord record{reinterpret_cast<std::uintptr_t>(command->lpVerb), nullptr, command->fMask,
                               reinterpret_cast<WindowHandle>(command->hwnd)};
    // Explorer sends the extended record, whose Unicode verb counts when CMIC_MASK_UNICODE says so.
    if (command->cbSize >= sizeof(CMINVOKECOMMANDINFOEX) && (command->fMask & CMIC_MASK_UNICODE) != 0) {
      record.lpVerbW = AsUtf16(reinterpret_cast<CMINVOKECOMMANDINFOEX*>(command)->lpVerbW);
    }
    CallPlatform platform;
    return torvo::InvokeCommand(m_state, platform.platform, &record);
  });
}

HRESULT CTorvoShellContextMenu::GetCommandString(UINT_PTR idCmd, UINT type, UINT*, CHAR* name, UINT cchMax) {
  return AtComBoundary([&] {
    CallPlatform platform;
    return torvo::GetCommandString(platform.platform, idCmd, type, name, cchMax);
  });
}

}  // namespace torvo::server
