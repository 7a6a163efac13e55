// The proxy file list of ITorvoShellContextMenu: the tables that the RPC runtime reads, and a stub
// that the runtime builds from them.
//
// <rpcproxy.h> describes the tables with the C layout of the interfaces, so this file is compiled
// with CINTERFACE: every interface here is a struct with an lpVtbl. The generated tables are those
// of stubless proxies (widl -Oicf), whose proxy header starts with the stubless proxy information.
#define CINTERFACE
#define USE_STUBLESS_PROXY
#define COBJMACROS
#include <windows.h>
#include <objbase.h>
#include <rpcproxy.h>

#include <gtest/gtest.h>

#include <string>

#include "TorvoShellMenu.h"
#include "proxy_stub.h"

namespace torvo {
namespace {

const ProxyFileInfo& TheOnlyFile() { return *g_torvoProxyFileList[0]; }

TEST(ProxyFileList, HoldsOneFileAndEndsWithNull) {
  ASSERT_NE(g_torvoProxyFileList[0], nullptr);
  EXPECT_EQ(g_torvoProxyFileList[1], nullptr);
  EXPECT_EQ(TheOnlyFile().TableSize, 1);
  EXPECT_EQ(TheOnlyFile().TableVersion, 2);
}

TEST(ProxyFileList, NamesOneInterfaceWithSevenMethods) {
  const ProxyFileInfo& file = TheOnlyFile();
  EXPECT_EQ(std::string(file.pNamesArray[0]), "ITorvoShellContextMenu");
  EXPECT_EQ(file.pNamesArray[1], nullptr);

  const CInterfaceStubVtbl* stub = file.pStubVtblList[0];
  EXPECT_TRUE(::IsEqualGUID(*stub->header.piid, IID_ITorvoShellContextMenu));
  EXPECT_EQ(stub->header.DispatchTableCount, 7u);  // 3 of IUnknown, 4 of IDispatch
  EXPECT_EQ(file.pStubVtblList[1], nullptr);

  const CInterfaceProxyVtbl* proxy = file.pProxyVtblList[0];
  EXPECT_TRUE(::IsEqualGUID(*proxy->header.piid, IID_ITorvoShellContextMenu));
  EXPECT_EQ(file.pProxyVtblList[1], nullptr);
}

TEST(ProxyFileList, DelegatesTheIDispatchMethodsThroughTheDelegatingStubBuffer) {
  const ProxyFileInfo& file = TheOnlyFile();
  ASSERT_NE(file.pDelegatedIIDs, nullptr);
  ASSERT_NE(file.pDelegatedIIDs[0], nullptr);
  EXPECT_TRUE(::IsEqualGUID(*file.pDelegatedIIDs[0], IID_IDispatch));
  // The delegating stub's Release hands the stub back to this DLL's factory.
  EXPECT_EQ(file.pStubVtblList[0]->Vtbl.Release, &CStdStubBuffer2_Release);
}

TEST(ProxyFileList, LookupKnowsOnlyTheInterface) {
  const ProxyFileInfo& file = TheOnlyFile();
  int index = -1;
  EXPECT_EQ(file.pIIDLookupRtn(&IID_ITorvoShellContextMenu, &index), 1);
  EXPECT_EQ(index, 0);
  for (const IID* other :
       {&IID_IDispatch, &IID_IUnknown, &IID_IClassFactory, static_cast<const IID*>(&LIBID_TorvoShellMenuLib),
        static_cast<const IID*>(&CLSID_TorvoShellContextMenu)}) {
    index = -1;
    EXPECT_EQ(file.pIIDLookupRtn(other, &index), 0);
  }
}

// A server object of ITorvoShellContextMenu in the C layout: it counts its references and answers
// nothing else.
struct CountedServer {
  ITorvoShellContextMenu iface;
  LONG references;
};

CountedServer* ServerOf(ITorvoShellContextMenu* This) { return reinterpret_cast<CountedServer*>(This); }

HRESULT STDMETHODCALLTYPE ServerQueryInterface(ITorvoShellContextMenu* This, REFIID riid, void** out) {
  if (!::IsEqualGUID(riid, IID_IUnknown) && !::IsEqualGUID(riid, IID_IDispatch) &&
      !::IsEqualGUID(riid, IID_ITorvoShellContextMenu)) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = This;
  ++ServerOf(This)->references;
  return S_OK;
}
ULONG STDMETHODCALLTYPE ServerAddRef(ITorvoShellContextMenu* This) { return ++ServerOf(This)->references; }
ULONG STDMETHODCALLTYPE ServerRelease(ITorvoShellContextMenu* This) { return --ServerOf(This)->references; }
HRESULT STDMETHODCALLTYPE ServerGetTypeInfoCount(ITorvoShellContextMenu*, UINT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ServerGetTypeInfo(ITorvoShellContextMenu*, UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ServerGetIDsOfNames(ITorvoShellContextMenu*, REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE ServerInvoke(ITorvoShellContextMenu*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                       EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

ITorvoShellContextMenuVtbl kServerVtbl = {
    ServerQueryInterface, ServerAddRef,        ServerRelease, ServerGetTypeInfoCount,
    ServerGetTypeInfo,    ServerGetIDsOfNames, ServerInvoke};

class ProxyStubFactory : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { ::CoUninitialize(); }

  IPSFactoryBuffer* Factory() {
    IPSFactoryBuffer* factory = nullptr;
    EXPECT_EQ(
        ::NdrDllGetClassObject(IID_ITorvoShellContextMenu, IID_IPSFactoryBuffer, reinterpret_cast<void**>(&factory),
                               g_torvoProxyFileList, &IID_ITorvoShellContextMenu, &g_torvoProxyFactory),
        S_OK);
    return factory;
  }
};

TEST_F(ProxyStubFactory, OtherClassIdsAreNotServed) {
  void* object = nullptr;
  EXPECT_EQ(::NdrDllGetClassObject(CLSID_TorvoShellContextMenu, IID_IPSFactoryBuffer, &object, g_torvoProxyFileList,
                                   &IID_ITorvoShellContextMenu, &g_torvoProxyFactory),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
}

TEST_F(ProxyStubFactory, StubOverIDispatchIsBuiltAndReleasedBackToTheFactory) {
  IPSFactoryBuffer* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(::NdrDllCanUnloadNow(&g_torvoProxyFactory), S_FALSE);

  CountedServer server{{&kServerVtbl}, 1};
  IRpcStubBuffer* stub = nullptr;
  ASSERT_EQ(IPSFactoryBuffer_CreateStub(factory, IID_ITorvoShellContextMenu, reinterpret_cast<IUnknown*>(&server.iface),
                                        &stub),
            S_OK);
  ASSERT_NE(stub, nullptr);
  EXPECT_GT(server.references, 1);

  // The last Release of the stub goes through CStdStubBuffer2_Release: the stub, its IDispatch base
  // stub and the server references they took are gone, and the factory's own reference with them.
  EXPECT_EQ(IRpcStubBuffer_Release(stub), 0u);
  EXPECT_EQ(server.references, 1);
  IPSFactoryBuffer_Release(factory);
  EXPECT_EQ(::NdrDllCanUnloadNow(&g_torvoProxyFactory), S_OK);
}

TEST_F(ProxyStubFactory, NoStubForAnInterfaceOutsideTheList) {
  IPSFactoryBuffer* factory = Factory();
  ASSERT_NE(factory, nullptr);
  CountedServer server{{&kServerVtbl}, 1};
  IRpcStubBuffer* stub = nullptr;
  EXPECT_EQ(IPSFactoryBuffer_CreateStub(factory, IID_IDispatch, reinterpret_cast<IUnknown*>(&server.iface), &stub),
            E_NOINTERFACE);
  EXPECT_EQ(stub, nullptr);
  IPSFactoryBuffer_Release(factory);
}

}  // namespace
}  // namespace torvo
