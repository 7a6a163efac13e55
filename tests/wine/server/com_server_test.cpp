// The COM server in the real COM runtime: class object, handler identity and counting,
// aggregation, the unload answer, IDispatch without a registered type library.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TorvoShellMenu.h"
#include "platform/win32/com_ptr.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_host.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using win32::ComPtr;
using wine::ServerDll;

// An outer object that counts its own references and hands everything else to the inner one.
class OuterObject : public IUnknown {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (::IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return inner != nullptr ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++count; }
  STDMETHOD_(ULONG, Release)() override { return --count; }

  ULONG count = 1;
  IUnknown* inner = nullptr;
};

class ComServer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll.Loaded());
    ASSERT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, factory.PutVoid()), S_OK);
  }

  ComPtr<IUnknown> NewHandler() {
    ComPtr<IUnknown> handler;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, handler.PutVoid()), S_OK);
    return handler;
  }

  wine::ComApartment apartment;
  ServerDll dll;
  ComPtr<IClassFactory> factory;
};

TEST_F(ComServer, OneCachedFactoryAnswersBothOfItsInterfaces) {
  ComPtr<IClassFactory> second;
  ComPtr<IUnknown> asUnknown;
  ASSERT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, second.PutVoid()), S_OK);
  ASSERT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IUnknown, asUnknown.PutVoid()), S_OK);
  EXPECT_EQ(second.Get(), factory.Get());
  EXPECT_EQ(static_cast<void*>(asUnknown.Get()), static_cast<void*>(factory.Get()));
}

TEST_F(ComServer, RefusedClassObjectRequestsLeaveANullPointer) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(dll.GetClassObject(IID_IUnknown, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IDispatch, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ComServer, UnloadAnswerFollowsFactoryHandlersAndLockServer) {
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);  // the fixture holds the class object
  {
    ComPtr<IUnknown> handler = NewHandler();
    factory.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);  // a live handler
  }
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);  // the factory stays cached but holds nothing
  ASSERT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, factory.PutVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
  ASSERT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, factory.PutVoid()), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(ComServer, OneIdentityForTheDispatchInterfacesAndTwoShellInterfaces) {
  ComPtr<IUnknown> handler = NewHandler();
  ComPtr<IUnknown> unknown;
  ComPtr<IDispatch> dispatch;
  ComPtr<ITorvoShellContextMenu> dual;
  ComPtr<IShellExtInit> init;
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(handler->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
  ASSERT_EQ(handler->QueryInterface(IID_IDispatch, dispatch.PutVoid()), S_OK);
  ASSERT_EQ(handler->QueryInterface(IID_ITorvoShellContextMenu, dual.PutVoid()), S_OK);
  ASSERT_EQ(handler->QueryInterface(IID_IShellExtInit, init.PutVoid()), S_OK);
  ASSERT_EQ(handler->QueryInterface(IID_IContextMenu, menu.PutVoid()), S_OK);
  void* primary = unknown.Get();
  EXPECT_EQ(static_cast<void*>(dispatch.Get()), primary);
  EXPECT_EQ(static_cast<void*>(dual.Get()), primary);
  EXPECT_NE(static_cast<void*>(init.Get()), primary);
  EXPECT_NE(static_cast<void*>(menu.Get()), primary);
  EXPECT_NE(static_cast<void*>(menu.Get()), static_cast<void*>(init.Get()));
  for (IUnknown* other : {static_cast<IUnknown*>(init.Get()), static_cast<IUnknown*>(menu.Get())}) {
    ComPtr<IUnknown> identity;
    ASSERT_EQ(other->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(identity.Get()), primary);
  }
}

TEST_F(ComServer, UnknownInterfacesAndNullOutPointers) {
  ComPtr<IUnknown> handler = NewHandler();
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(handler->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(handler->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  handler.Reset();
  factory.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);  // the refused creation left no lock behind
}

TEST_F(ComServer, TheThirdReleaseDestroysTheHandler) {
  IUnknown* handler = NewHandler().Detach();
  EXPECT_EQ(handler->AddRef(), 2u);
  EXPECT_EQ(handler->AddRef(), 3u);
  EXPECT_EQ(handler->Release(), 2u);
  EXPECT_EQ(handler->Release(), 1u);
  factory.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(handler->Release(), 0u);
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// The bitmap a handler lends to the menu, read back from a real popup menu.
HBITMAP BitmapLentToMenu(IUnknown* handler, const std::wstring& file) {
  ComPtr<IShellExtInit> init;
  ComPtr<IContextMenu> menu;
  handler->QueryInterface(IID_IShellExtInit, init.PutVoid());
  handler->QueryInterface(IID_IContextMenu, menu.PutVoid());
  auto dataObject = wine::ShellDataObjectFor({file});
  init->Initialize(nullptr, dataObject.Get(), nullptr);
  HMENU popup = ::CreatePopupMenu();
  menu->QueryContextMenu(popup, 0, 1, 10, CMF_NORMAL);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_BITMAP;
  ::GetMenuItemInfoW(popup, 0, TRUE, &info);
  ::DestroyMenu(popup);
  return info.hbmpItem;
}

TEST_F(ComServer, EachHandlerDeletesItsOwnBitmapWhenDestroyed) {
  wine::ScratchFolder folder(L"torvo-bitmaps");
  const std::wstring file = folder.AddFile(L"a.txt");
  std::vector<HBITMAP> seen;
  for (int i = 0; i < 1000; ++i) {
    ComPtr<IUnknown> handler = NewHandler();
    const HBITMAP bitmap = BitmapLentToMenu(handler.Get(), file);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(::GetObjectType(bitmap), static_cast<DWORD>(OBJ_BITMAP));
    BITMAP picture{};
    ASSERT_EQ(::GetObject(bitmap, sizeof(picture), &picture), static_cast<int>(sizeof(picture)));
    EXPECT_EQ(picture.bmWidth, 16);
    EXPECT_EQ(picture.bmHeight, 16);
    handler.Reset();
    ASSERT_EQ(::GetObjectType(bitmap), 0u) << "cycle " << i;
  }
}

TEST_F(ComServer, AggregatedHandlerCountsOnItsOuterObject) {
  OuterObject outer;
  ComPtr<IUnknown> inner;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.PutVoid()), S_OK);
  outer.inner = inner.Get();
  ComPtr<IShellExtInit> init;
  ASSERT_EQ(inner->QueryInterface(IID_IShellExtInit, init.PutVoid()), S_OK);
  EXPECT_EQ(outer.count, 2u);  // the handed-out pointer counted on the outer object
  const ULONG before = outer.count;
  init->AddRef();
  EXPECT_EQ(outer.count, before + 1);
  init->Release();
  ComPtr<IUnknown> innerAgain;
  ASSERT_EQ(inner->QueryInterface(IID_IUnknown, innerAgain.PutVoid()), S_OK);
  EXPECT_EQ(innerAgain.Get(), inner.Get());
  EXPECT_NE(static_cast<void*>(innerAgain.Get()), static_cast<void*>(&outer));
  ComPtr<IUnknown> identity;
  ASSERT_EQ(init->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
  EXPECT_EQ(static_cast<void*>(identity.Get()), static_cast<void*>(&outer));
}

TEST_F(ComServer, AggregationIsRefusedForAnyInterfaceButIUnknown) {
  OuterObject outer;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IShellExtInit, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
}

TEST_F(ComServer, DispatchCountAndIndexNeedNoTypeLibrary) {
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, dispatch.PutVoid()), S_OK);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(dispatch->GetTypeInfoCount(nullptr), E_POINTER);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_POINTER);
  EXPECT_EQ(dispatch->GetTypeInfo(1, 0, nullptr), E_POINTER);
}

TEST_F(ComServer, ShellCallsWithNothingUsableAreRefused) {
  ComPtr<IUnknown> handler = NewHandler();
  ComPtr<IShellExtInit> init;
  ComPtr<IContextMenu> menu;
  handler->QueryInterface(IID_IShellExtInit, init.PutVoid());
  handler->QueryInterface(IID_IContextMenu, menu.PutVoid());
  EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(menu->InvokeCommand(nullptr), E_INVALIDARG);
  EXPECT_EQ(menu->QueryContextMenu(nullptr, 0, 1, 2, CMF_NORMAL), E_INVALIDARG);
  CMINVOKECOMMANDINFO command{};
  command.cbSize = sizeof(command);
  command.lpVerb = "open";
  EXPECT_EQ(menu->InvokeCommand(&command), E_INVALIDARG);
}

// Many threads ask a freshly loaded DLL for its class object at once and let go of it at once,
// round after round: each gets the one factory, and afterwards nothing holds the DLL.
TEST(ClassObject, FirstRequestsFromManyThreadsAtOnceShareOneWholeFactory) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    ServerDll dll;
    ASSERT_TRUE(dll.Loaded());
    win32::UniqueHandle start(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<void*> seen(kThreads, nullptr);
    std::vector<HRESULT> results(kThreads, E_FAIL);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&, i] {
        ::WaitForSingleObject(start.Get(), INFINITE);
        IClassFactory* factory = nullptr;
        void** out = reinterpret_cast<void**>(&factory);
        results[i] = dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, out);
        seen[i] = factory;
        if (factory != nullptr) factory->Release();
      });
    }
    ::SetEvent(start.Get());
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < kThreads; ++i) {
      ASSERT_EQ(results[i], S_OK) << "round " << round;
      ASSERT_EQ(seen[i], seen[0]) << "round " << round;
    }
    ASSERT_EQ(dll.CanUnloadNow(), S_OK) << "round " << round;
  }
}

}  // namespace
}  // namespace torvo
