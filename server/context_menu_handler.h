#pragma once
// CTorvoShellContextMenu: the handler object the shell creates for each context menu. It keeps
// the selection, the last item's path and the menu bitmap, and carries the shell's IShellExtInit
// and IContextMenu and the dual interface ITorvoShellContextMenu.
#include <windows.h>
#include <shlobj.h>

#include "TorvoShellMenu.h"
#include "platform/win32/unique_handle.h"
#include "server/com_objects.h"
#include "server/dispatch_impl.h"
#include "shellmenu/handler_state.h"

namespace torvo::server {

class CTorvoShellContextMenu : public CComObjectRootEx<CComSingleThreadModel>,
                               public CComCoClass<CTorvoShellContextMenu, &CLSID_TorvoShellContextMenu>,
                               public IDispatchImpl<ITorvoShellContextMenu, &IID_ITorvoShellContextMenu,
                                                    &LIBID_TorvoShellMenuLib, 1, 0, CComTypeInfoHolder>,
                               public IShellExtInit,
                               public IContextMenu {
 public:
  using ThreadModel = CComSingleThreadModel;

  CTorvoShellContextMenu() = default;
  // The menu bitmap and the selection go with the object.
  virtual ~CTorvoShellContextMenu() = default;

  static const InterfaceEntry<CTorvoShellContextMenu>* InterfaceMap();

  // Draws the padlock for the menu at the screen's scale and clears the selection; always succeeds.
  HRESULT FinalConstruct();

  // IShellExtInit
  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject, HKEY progId) override;
  // IContextMenu
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                             UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* command) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, CHAR* name,
                                             UINT cchMax) override;

  const HandlerState& State() const { return m_state; }

 private:
  win32::UniqueGdiObject m_bitmap;  // the padlock (menu_image.h); m_state lends its handle to the menu
  HandlerState m_state;
};

}  // namespace torvo::server
