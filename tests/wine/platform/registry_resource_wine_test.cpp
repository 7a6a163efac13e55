// Registry scripts loaded from the REGISTRY resources of real modules, with the module path filled
// in: a DLL beside the test program, a copy of it in a folder with an apostrophe, the program itself.
#include "registrar/registry_resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_script_source.h"
#include "tests/wine/platform/registry_support.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using wine::KeyExists;
using wine::kScratchKey;
using wine::ReadString;

constexpr std::uint16_t kScriptResource = 1;
constexpr wchar_t kModuleKey[] = L"Software\\TorvoTest\\Module";
constexpr wchar_t kTestDll[] = L"torvo_registrar_module.dll";

class AppIdModule : public RegistrarModule {
 public:
  HResult AddCommonSubstitutions(IRegistrarBase& registrar) override {
    return registrar.AddSubstitution(u"APPID", u"{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}");
  }
};

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

std::wstring ProgramFolder() {
  std::wstring path = ModulePath(nullptr);
  return path.substr(0, path.find_last_of(L'\\'));
}

class ResourceScripts : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey); }

  HResult Apply(HMODULE module, std::uint16_t number, bool registerFlag) {
    win32::Win32ScriptSource source(module);
    win32::Win32Registry registry;
    return ApplyRegistryResource(appIdModule, source, registry, number, registerFlag, nullptr);
  }

  AppIdModule appIdModule;
};

TEST_F(ResourceScripts, DllScriptGetsTheDllsPathAndIsRemovedAgain) {
  const win32::UniqueLibrary dll(::LoadLibraryW((ProgramFolder() + L"\\" + kTestDll).c_str()));
  ASSERT_TRUE(dll);
  const std::wstring path = ModulePath(dll.Get());

  ASSERT_EQ(Apply(dll.Get(), kScriptResource, true), S_OK);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kModuleKey, L""), path);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kModuleKey, L"Raw"), path);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kModuleKey, L"AppId"), L"{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}");

  ASSERT_EQ(Apply(dll.Get(), kScriptResource, false), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kScratchKey));
}

TEST_F(ResourceScripts, ProgramsOwnScriptQuotesTheModuleValue) {
  const std::wstring path = ModulePath(nullptr);
  ASSERT_EQ(Apply(nullptr, kScriptResource, true), S_OK);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kModuleKey, L""), L"\"" + path + L"\"");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kModuleKey, L"Raw"), path);

  // The program's own handle counts as the running executable too.
  ASSERT_EQ(Apply(::GetModuleHandleW(nullptr), kScriptResource, true), S_OK);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kModuleKey, L""), L"\"" + path + L"\"");
}

TEST_F(ResourceScripts, MissingResourceFailsWithTheLookupErrorAndWritesNothing) {
  EXPECT_EQ(Apply(nullptr, 77, true), HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kScratchKey));
}

TEST_F(ResourceScripts, ApostropheInTheFolderNameIsWrittenOnce) {
  const wine::ScratchFolder folder(L"Ann's Tools");
  const std::wstring copy = folder.Path() + L"\\" + kTestDll;
  ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\" + kTestDll).c_str(), copy.c_str(), FALSE));
  {
    const win32::UniqueLibrary dll(::LoadLibraryW(copy.c_str()));
    ASSERT_TRUE(dll);
    ASSERT_EQ(Apply(dll.Get(), kScriptResource, true), S_OK);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kModuleKey, L""), ModulePath(dll.Get()));
    EXPECT_NE(ModulePath(dll.Get()).find(L"Ann's Tools\\"), std::wstring::npos);
  }
}

}  // namespace
}  // namespace torvo
