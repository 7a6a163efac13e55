// The exports through which COM obtains class objects and asks whether the DLL may go.
#include <windows.h>

#include "TorvoShellMenu.h"
#include "common/com_boundary.h"
#include "resources/proxy_stub.h"
#include "server/torvo_module.h"

using namespace torvo::server;

// The proxy/stub answers first; the handler's class comes from the class table. A null out
// pointer is refused before the RPC runtime sees it: the runtime writes through it unchecked.
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  return torvo::AtComBoundary([&]() -> HRESULT {
    if (out == nullptr) return E_POINTER;
    if (NdrDllGetClassObject(clsid, iid, out, g_torvoProxyFileList, &IID_ITorvoShellContextMenu,
                             &g_torvoProxyFactory) == S_OK) {
      return S_OK;
    }
    return TheClassTable().GetClassObject(clsid, iid, out);
  });
}

STDAPI DllCanUnloadNow() {
  return torvo::AtComBoundary([] {
    const HRESULT proxy = NdrDllCanUnloadNow(&g_torvoProxyFactory);
    if (proxy != S_OK) return proxy;
    return TheModule().GetLockCount() == 0 ? S_OK : S_FALSE;
  });
}
