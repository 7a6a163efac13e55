/* The proxy file list and the proxy/stub class object around the code that widl generates from
   TorvoShellMenu.idl (TorvoShellMenu_p.c). */
#include "proxy_stub.h"

/* Defined in the generated TorvoShellMenu_p.c. */
extern const ExtendedProxyFileInfo TorvoShellMenu_ProxyFileInfo;

const ProxyFileInfo* g_torvoProxyFileList[] = {&TorvoShellMenu_ProxyFileInfo, NULL};

CStdPSFactoryBuffer g_torvoProxyFactory;

/* Release of the delegating stub buffer that the generated stub table names: the runtime's own,
   given the factory that made the stub. */
ULONG STDMETHODCALLTYPE CStdStubBuffer2_Release(IRpcStubBuffer* This) {
  return NdrCStdStubBuffer2_Release(This, (IPSFactoryBuffer*)&g_torvoProxyFactory);
}
