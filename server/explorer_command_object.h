#pragma once
// CTorvoExplorerCommand: the command that Windows 11's own context menu shows, created for each
// menu like the classic handler. It carries IExplorerCommand and the IObjectWithSite that the shell
// may set, and reaches the same selection rules, decision and command as the classic handler.
#include <windows.h>
#include <shobjidl.h>

#include "platform/win32/com_ptr.h"
#include "resources/explorer_command_ids.h"
#include "server/com_objects.h"

namespace torvo::server {

class CTorvoExplorerCommand
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CTorvoExplorerCommand, &CLSID_TorvoExplorerCommand, /*aggregatable=*/false>,
      public IExplorerCommand,
      public IObjectWithSite {
 public:
  using ThreadModel = CComSingleThreadModel;

  CTorvoExplorerCommand() = default;
  // The site, if one is set, is released with the object.
  virtual ~CTorvoExplorerCommand() = default;

  static const InterfaceEntry<CTorvoExplorerCommand>* InterfaceMap();

  // IExplorerCommand
  HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* items, LPWSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* items, LPWSTR* icon) override;
  HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* items, LPWSTR* tip) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* name) override;
  HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) override;
  HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* bindContext) override;
  HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* flags) override;
  HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** commands) override;
  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) override;

 private:
  win32::ComPtr<IUnknown> m_site;
};

}  // namespace torvo::server
