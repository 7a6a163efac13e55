#ifndef TORVO_RESOURCES_TORVO_BASE_H
#define TORVO_RESOURCES_TORVO_BASE_H
/* Stands in for the header of torvo_base.idl, which the generated TorvoShellMenu.h includes: the
   compilers take IUnknown and IDispatch from the platform's own headers instead. */
#include <oaidl.h>

#ifndef __cplusplus
/* rpcrt4 exports the IUnknown proxies that the generated proxy table names; the MinGW-w64 headers
   declare them for C++ only. */
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid, void** ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);
#endif

#endif
