#ifndef TORVO_RESOURCES_PROXY_STUB_H
#define TORVO_RESOURCES_PROXY_STUB_H
/* The marshalling code of ITorvoShellContextMenu, in the form that the RPC runtime's
   NdrDllGetClassObject, NdrDllCanUnloadNow, NdrDllRegisterProxy and NdrDllUnregisterProxy take.
   The proxy/stub class id is IID_ITorvoShellContextMenu, the IID of the first interface listed. */
#include <windows.h>

#if defined(__cplusplus) && !defined(CINTERFACE)
/* The MinGW-w64 <rpcproxy.h> compiles only with the C layout of the interfaces (its stub tables
   hold IRpcStubBufferVtbl by value), so C++ sees the two records as incomplete types, with the
   runtime functions that take them, declared as <rpcproxy.h> declares them. */
extern "C" {
typedef struct tagProxyFileInfo ProxyFileInfo;
typedef struct tagCStdPSFactoryBuffer CStdPSFactoryBuffer;
RPCRTAPI HRESULT RPC_ENTRY NdrDllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv,
                                                const ProxyFileInfo** pProxyFileList, const CLSID* pclsid,
                                                CStdPSFactoryBuffer* pPSFactoryBuffer);
RPCRTAPI HRESULT RPC_ENTRY NdrDllCanUnloadNow(CStdPSFactoryBuffer* pPSFactoryBuffer);
RPCRTAPI HRESULT RPC_ENTRY NdrDllRegisterProxy(HMODULE hDll, const ProxyFileInfo** pProxyFileList, const CLSID* pclsid);
RPCRTAPI HRESULT RPC_ENTRY NdrDllUnregisterProxy(HMODULE hDll, const ProxyFileInfo** pProxyFileList,
                                                 const CLSID* pclsid);
}
#else
#include <rpcproxy.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The proxy files of this DLL, ended by a null entry: one file with one interface. */
extern const ProxyFileInfo* g_torvoProxyFileList[];

/* The proxy/stub class object; the runtime fills it in at the first request. */
extern CStdPSFactoryBuffer g_torvoProxyFactory;

#ifdef __cplusplus
}
#endif

#endif
