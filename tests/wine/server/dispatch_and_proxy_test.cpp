// With the DLL registered: IDispatch through the registered type library, the proxy/stub carrying
// ITorvoShellContextMenu to another apartment, and the per-user type library registration.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "TorvoShellMenu.h"
#include "platform/win32/com_ptr.h"
#include "tests/wine/support/import_patch.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;
using win32::ComPtr;

class Registered : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistrations();
    ASSERT_TRUE(dll.Loaded());
    ASSERT_EQ(dll.RegisterServer(), S_OK);
  }
  void TearDown() override {
    EXPECT_EQ(dll.UnregisterServer(), S_OK);
    RemoveAllRegistrations();
  }

  ComPtr<IDispatch> NewHandler() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, factory.PutVoid()), S_OK);
    ComPtr<IDispatch> handler;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, handler.PutVoid()), S_OK);
    return handler;
  }

  ComApartment apartment;
  ServerDll dll;
};

TEST_F(Registered, TypeInformationComesFromTheRegisteredLibrary) {
  ComPtr<IDispatch> handler = NewHandler();
  ComPtr<ITypeInfo> info;
  ASSERT_EQ(handler->GetTypeInfo(0, 0, info.Put()), S_OK);
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
  EXPECT_TRUE(::IsEqualGUID(attributes->guid, IID_ITorvoShellContextMenu));
  info->ReleaseTypeAttr(attributes);

  // The names of the dispatch interface, answered twice (the second time from the cache).
  for (int round = 0; round < 2; ++round) {
    OLECHAR name[] = L"GetTypeInfoCount";
    LPOLESTR names[] = {name};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(handler->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_NE(id, DISPID_UNKNOWN);
  }
  OLECHAR unknown[] = L"NoSuchMember";
  LPOLESTR unknownNames[] = {unknown};
  DISPID id = 0;
  EXPECT_EQ(handler->GetIDsOfNames(IID_NULL, unknownNames, 1, 0, &id), DISP_E_UNKNOWNNAME);
}

// Missing arrays are refused before the names cache, which would read the name and write the id.
TEST_F(Registered, GetIDsOfNamesRefusesMissingArrays) {
  ComPtr<IDispatch> handler = NewHandler();
  OLECHAR name[] = L"GetTypeInfoCount";
  LPOLESTR names[] = {name};
  DISPID id = DISPID_UNKNOWN;
  ASSERT_EQ(handler->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);  // the cache is built
  EXPECT_EQ(handler->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
  EXPECT_EQ(handler->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr), E_POINTER);
}

// Pumps messages until the event is set, so that calls into this apartment can arrive.
void WaitPumping(HANDLE event) {
  while (::MsgWaitForMultipleObjects(1, &event, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }
}

TEST_F(Registered, TheDualInterfaceIsCalledFromAnotherApartmentThroughTheProxy) {
  ComPtr<IDispatch> handler = NewHandler();
  ComPtr<ITorvoShellContextMenu> dual;
  ASSERT_EQ(handler->QueryInterface(IID_ITorvoShellContextMenu, dual.PutVoid()), S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(::CoMarshalInterThreadInterfaceInStream(IID_ITorvoShellContextMenu, dual.Get(), &stream), S_OK);

  HRESULT unmarshal = E_FAIL, call = E_FAIL;
  UINT count = 0;
  void* seen = nullptr;
  win32::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread worker([&] {
    ComApartment mta(COINIT_MULTITHREADED);
    ITorvoShellContextMenu* remote = nullptr;
    unmarshal = ::CoGetInterfaceAndReleaseStream(stream, IID_ITorvoShellContextMenu, reinterpret_cast<void**>(&remote));
    if (SUCCEEDED(unmarshal)) {
      seen = remote;
      call = remote->GetTypeInfoCount(&count);
      remote->Release();
    }
    ::SetEvent(done.Get());
  });
  WaitPumping(done.Get());
  worker.join();
  EXPECT_EQ(unmarshal, S_OK);
  EXPECT_EQ(call, S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_NE(seen, static_cast<void*>(dual.Get()));  // a proxy, not the object itself
}

TEST_F(Registered, TheProxyStubClassObjectIsServedFirst) {
  ComPtr<IPSFactoryBuffer> buffer;
  EXPECT_EQ(dll.GetClassObject(IID_ITorvoShellContextMenu, IID_IPSFactoryBuffer, buffer.PutVoid()), S_OK);
}

int g_machineWideCalls = 0;
HRESULT WINAPI CountingRegisterTypeLib(ITypeLib* library, LPOLESTR path, LPOLESTR helpDirectory) {
  ++g_machineWideCalls;
  return ::RegisterTypeLib(library, path, helpDirectory);
}

// Per-user mode takes the per-user function of OLEAUT32; otherwise the machine-wide one is called.
TEST(TypeLibraryRegistration, PerUserModeUsesThePerUserFunction) {
  RemoveAllRegistrations();
  for (const bool perUser : {false, true}) {
    ComApartment apartment;
    ServerDll dll;
    ASSERT_TRUE(dll.Loaded());
    ImportPatch patch(dll.Module(), "oleaut32.dll", "RegisterTypeLib",
                      reinterpret_cast<void*>(&CountingRegisterTypeLib));
    ASSERT_TRUE(patch.Applied());
    g_machineWideCalls = 0;
    EXPECT_EQ(dll.Install(TRUE, perUser ? L"user" : nullptr), S_OK);
    EXPECT_EQ(g_machineWideCalls, perUser ? 0 : 1);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TypeLib\\" + std::wstring(kLibIdText)));
    EXPECT_EQ(dll.Install(FALSE, perUser ? L"user" : nullptr), S_OK);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TypeLib\\" + std::wstring(kLibIdText)));
  }
  RemoveAllRegistrations();
}

}  // namespace
}  // namespace torvo
