// The type library that TorvoShellMenu.dll carries, as Wine's oleaut32 reads it from the DLL.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "TorvoShellMenu.h"
#include "platform/win32/com_ptr.h"

namespace torvo {
namespace {

using win32::ComPtr;

// stdole2.tlb, the platform's standard OLE library, which declares IDispatch.
constexpr GUID kStdOleLibId = {0x00020430, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::wstring BuiltDllPath() {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"" TORVO_RESOURCE_DLL;
}

// Name, help string and help file of a type description or (index -1) of the library.
struct Documentation {
  std::wstring name;
  std::wstring help;
  bool hasHelpFile = false;
};

std::wstring Take(BSTR text) {
  std::wstring copy = text != nullptr ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
  ::SysFreeString(text);
  return copy;
}

// ITypeLib and ITypeInfo share the signature of GetDocumentation.
template <class T>
Documentation DocumentationOf(T* owner, INT index) {
  BSTR name = nullptr, help = nullptr, helpFile = nullptr;
  DWORD context = 0;
  EXPECT_EQ(owner->GetDocumentation(index, &name, &help, &context, &helpFile), S_OK);
  const bool hasHelpFile = helpFile != nullptr;
  ::SysFreeString(helpFile);
  return {Take(name), Take(help), hasHelpFile};
}

// The type attributes of a type description, copied out and released.
TYPEATTR AttributesOf(ITypeInfo* info) {
  TYPEATTR* attr = nullptr;
  EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
  const TYPEATTR copy = *attr;
  info->ReleaseTypeAttr(attr);
  return copy;
}

ComPtr<ITypeInfo> Referenced(ITypeInfo* info, UINT implIndex) {
  HREFTYPE ref = 0;
  EXPECT_EQ(info->GetRefTypeOfImplType(implIndex, &ref), S_OK);
  ComPtr<ITypeInfo> target;
  EXPECT_EQ(info->GetRefTypeInfo(ref, target.Put()), S_OK);
  return target;
}

class TypeLibraryOfTheDll : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::LoadTypeLib(BuiltDllPath().c_str(), library.Put()), S_OK); }

  ComPtr<ITypeInfo> InfoOf(const GUID& guid) {
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(library->GetTypeInfoOfGuid(guid, info.Put()), S_OK);
    return info;
  }

  ComPtr<ITypeLib> library;
};

TEST_F(TypeLibraryOfTheDll, LibraryIsVersionOneOfTheLibIdFor64BitWindowsAndNeutralLocale) {
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(::IsEqualGUID(attr->guid, LIBID_TorvoShellMenuLib));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->syskind, SYS_WIN64);
  EXPECT_EQ(attr->lcid, 0u);
  library->ReleaseTLibAttr(attr);

  const Documentation doc = DocumentationOf(library.Get(), -1);
  EXPECT_EQ(doc.name, L"TorvoShellMenuLib");
  EXPECT_EQ(doc.help, L"TorvoShellMenu 1.0 Type Library");
  EXPECT_FALSE(doc.hasHelpFile);
}

TEST_F(TypeLibraryOfTheDll, HoldsTheInterfaceAndTheClassOnly) {
  ASSERT_EQ(library->GetTypeInfoCount(), 2u);
  std::set<TYPEKIND> kinds;
  for (UINT i = 0; i < 2; ++i) {
    TYPEKIND kind = TKIND_MAX;
    ASSERT_EQ(library->GetTypeInfoType(i, &kind), S_OK);
    kinds.insert(kind);
  }
  EXPECT_EQ(kinds, (std::set<TYPEKIND>{TKIND_DISPATCH, TKIND_COCLASS}));
}

TEST_F(TypeLibraryOfTheDll, InterfaceIsADualNonExtensibleDispatchInterface) {
  const ComPtr<ITypeInfo> dispatch = InfoOf(IID_ITorvoShellContextMenu);
  ASSERT_TRUE(dispatch);
  const TYPEATTR attr = AttributesOf(dispatch.Get());
  EXPECT_TRUE(::IsEqualGUID(attr.guid, IID_ITorvoShellContextMenu));
  EXPECT_EQ(attr.typekind, TKIND_DISPATCH);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FDISPATCHABLE);
  // The dispatch side lists the seven inherited methods and no own member.
  EXPECT_EQ(attr.cFuncs, 7);
  EXPECT_EQ(attr.cVars, 0);

  const Documentation doc = DocumentationOf(dispatch.Get(), MEMBERID_NIL);
  EXPECT_EQ(doc.name, L"ITorvoShellContextMenu");
  EXPECT_EQ(doc.help, L"ITorvoShellContextMenu Interface");
  EXPECT_FALSE(doc.hasHelpFile);
}

TEST_F(TypeLibraryOfTheDll, VtableSideHasTheSevenMethodsOfIDispatchAndNoOwn) {
  const ComPtr<ITypeInfo> dispatch = InfoOf(IID_ITorvoShellContextMenu);
  ASSERT_TRUE(dispatch);
  const ComPtr<ITypeInfo> vtable = Referenced(dispatch.Get(), static_cast<UINT>(-1));
  ASSERT_TRUE(vtable);
  const TYPEATTR attr = AttributesOf(vtable.Get());
  EXPECT_TRUE(::IsEqualGUID(attr.guid, IID_ITorvoShellContextMenu));
  EXPECT_EQ(attr.typekind, TKIND_INTERFACE);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FDUAL);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
  EXPECT_EQ(attr.cFuncs, 0);
  EXPECT_EQ(attr.cbSizeVft, 7 * sizeof(void*));
  EXPECT_EQ(attr.cImplTypes, 1);
}

TEST_F(TypeLibraryOfTheDll, BaseInterfaceIsIDispatchOfStdOle) {
  const ComPtr<ITypeInfo> dispatch = InfoOf(IID_ITorvoShellContextMenu);
  ASSERT_TRUE(dispatch);
  const ComPtr<ITypeInfo> vtable = Referenced(dispatch.Get(), static_cast<UINT>(-1));
  ASSERT_TRUE(vtable);
  const ComPtr<ITypeInfo> base = Referenced(vtable.Get(), 0);
  ASSERT_TRUE(base);
  EXPECT_TRUE(::IsEqualGUID(AttributesOf(base.Get()).guid, IID_IDispatch));
  EXPECT_EQ(DocumentationOf(base.Get(), MEMBERID_NIL).name, L"IDispatch");

  ComPtr<ITypeLib> container;
  UINT index = 0;
  ASSERT_EQ(base->GetContainingTypeLib(container.Put(), &index), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(container->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(::IsEqualGUID(attr->guid, kStdOleLibId));
  container->ReleaseTLibAttr(attr);
}

TEST_F(TypeLibraryOfTheDll, ClassIsCreatableWithTheInterfaceAsItsOneDefault) {
  const ComPtr<ITypeInfo> coclass = InfoOf(CLSID_TorvoShellContextMenu);
  ASSERT_TRUE(coclass);
  const TYPEATTR attr = AttributesOf(coclass.Get());
  EXPECT_EQ(attr.typekind, TKIND_COCLASS);
  EXPECT_TRUE(attr.wTypeFlags & TYPEFLAG_FCANCREATE);
  ASSERT_EQ(attr.cImplTypes, 1);

  INT flags = 0;
  ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
  EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
  const ComPtr<ITypeInfo> implemented = Referenced(coclass.Get(), 0);
  ASSERT_TRUE(implemented);
  EXPECT_TRUE(::IsEqualGUID(AttributesOf(implemented.Get()).guid, IID_ITorvoShellContextMenu));

  const Documentation doc = DocumentationOf(coclass.Get(), MEMBERID_NIL);
  EXPECT_EQ(doc.name, L"TorvoShellContextMenu");
  EXPECT_EQ(doc.help, L"TorvoShellContextMenu Class");
  EXPECT_FALSE(doc.hasHelpFile);
}

}  // namespace
}  // namespace torvo
