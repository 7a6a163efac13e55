// Registration through regsvr32 and the exports: the registry that results, removal, per-user
// mode, foreign subkeys, an apostrophe in the path, and unregistering what is not there.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "TorvoShellMenu.h"
#include "tests/wine/support/import_patch.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const std::wstring kClsid = kClsidText;
const std::wstring kClassName = L"TorvoShellContextMenu Class";

std::wstring Value(const ClassesRoot& c, const std::wstring& key, const std::wstring& name = L"") {
  std::wstring value;
  return ReadRegString(c.root, c.prefix + key, name, value) ? value : L"<missing>";
}

// Every key and value of the registration table below one classes root.
void ExpectClassesTable(const ClassesRoot& c, const std::wstring& dllPath) {
  EXPECT_EQ(Value(c, L"AppID\\" + std::wstring(kAppIdText)), L"TorvoShellMenu");
  EXPECT_EQ(Value(c, L"AppID\\TorvoShellMenu.DLL", L"AppID"), kAppIdText);
  EXPECT_EQ(Value(c, L"TorvoShellMenu.TorvoShellContextMenu.1"), kClassName);
  EXPECT_EQ(Value(c, L"TorvoShellMenu.TorvoShellContextMenu.1\\CLSID"), kClsid);
  EXPECT_EQ(Value(c, L"TorvoShellMenu.TorvoShellContextMenu"), kClassName);
  EXPECT_EQ(Value(c, L"TorvoShellMenu.TorvoShellContextMenu\\CLSID"), kClsid);
  EXPECT_EQ(Value(c, L"TorvoShellMenu.TorvoShellContextMenu\\CurVer"), L"TorvoShellMenu.TorvoShellContextMenu.1");
  EXPECT_EQ(Value(c, L"CLSID\\" + kClsid), kClassName);
  EXPECT_THAT(Subkeys(c.root, c.prefix + L"CLSID\\" + kClsid), ElementsAre(L"InprocServer32"));
  EXPECT_EQ(Value(c, L"CLSID\\" + kClsid + L"\\InprocServer32"), dllPath);
  EXPECT_EQ(Value(c, L"CLSID\\" + kClsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  for (const wchar_t* kind : kHandlerClasses) {
    EXPECT_EQ(Value(c, std::wstring(kind) + L"\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt"), kClsid) << kind;
  }
  std::wstring approved;
  EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kApprovedHandlerKey, L"", approved));
  EXPECT_EQ(approved, kClsid);
  EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kApprovedKey, kApprovalValue, approved));
  EXPECT_EQ(approved, L"ZebTorvoShellExt");
}

void ExpectTypeLibraryAndProxy(const std::wstring& dllPath) {
  const ClassesRoot m = MachineClasses();
  EXPECT_EQ(Value(m, L"TypeLib\\" + std::wstring(kLibIdText) + L"\\1.0\\0\\" + kTypeLibPlatform), dllPath);
  EXPECT_EQ(Value(m, L"Interface\\" + std::wstring(kIidText) + L"\\ProxyStubClsid32"), kIidText);
  EXPECT_EQ(Value(m, L"CLSID\\" + std::wstring(kIidText) + L"\\InprocServer32"), dllPath);
}

// Nothing of the registration is left.
void ExpectGone(const ClassesRoot& c) {
  for (const std::wstring& key : {L"AppID\\" + std::wstring(kAppIdText), std::wstring(L"AppID\\TorvoShellMenu.DLL"),
                                  std::wstring(L"TorvoShellMenu.TorvoShellContextMenu.1"),
                                  std::wstring(L"TorvoShellMenu.TorvoShellContextMenu"), L"CLSID\\" + kClsid}) {
    EXPECT_FALSE(KeyExists(c.root, c.prefix + key)) << std::string(key.begin(), key.end());
  }
  for (const wchar_t* kind : kHandlerClasses) {
    EXPECT_FALSE(KeyExists(c.root, c.prefix + kind + L"\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt")) << kind;
  }
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kApprovedHandlerKey));
  std::wstring approval;
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kApprovedKey, kApprovalValue, approval));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TypeLib\\" + std::wstring(kLibIdText)));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\Interface\\" + std::wstring(kIidText)));
}

// Removal: nothing of the registration is left, and what the scripts keep is still there.
void ExpectRemoved(const ClassesRoot& c) {
  ExpectGone(c);
  EXPECT_TRUE(KeyExists(c.root, c.prefix + L"AppID"));
  EXPECT_TRUE(KeyExists(c.root, c.prefix + L"CLSID"));
  for (const wchar_t* kind : kHandlerClasses) {
    const std::wstring handlers = c.prefix + kind + L"\\ShellEx\\ContextMenuHandlers";
    EXPECT_TRUE(KeyExists(c.root, handlers)) << kind;
  }
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kApprovedKey));
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { RemoveAllRegistrations(); }
  void TearDown() override { RemoveAllRegistrations(); }
};

TEST_F(Registration, Regsvr32WritesTheTableAndRemovesItAgain) {
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  ExpectClassesTable(MachineClasses(), ServerDllPath());
  ExpectTypeLibraryAndProxy(ServerDllPath());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + kClsid));
  ASSERT_THAT(RunRegsvr32(L"/u"), ExitsWith(0u));
  ExpectRemoved(MachineClasses());
}

TEST_F(Registration, RegisteringTwiceWipesForeignSubkeysOfTheForcedKeys) {
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  const ClassesRoot m = MachineClasses();
  CreateKey(m.root, m.prefix + L"CLSID\\" + kClsid + L"\\Foreign\\Deeper");
  CreateKey(m.root, m.prefix + L"*\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt\\Foreign");
  CreateKey(HKEY_LOCAL_MACHINE, std::wstring(kApprovedHandlerKey) + L"\\Foreign");
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  EXPECT_FALSE(KeyExists(m.root, m.prefix + L"CLSID\\" + kClsid + L"\\Foreign"));
  EXPECT_FALSE(KeyExists(m.root, m.prefix + L"*\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt\\Foreign"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kApprovedHandlerKey) + L"\\Foreign"));
  ExpectClassesTable(m, ServerDllPath());
  ASSERT_THAT(RunRegsvr32(L"/u"), ExitsWith(0u));
}

TEST_F(Registration, PerUserPutsTheClassesKeysUnderTheUsersClasses) {
  ASSERT_THAT(RunRegsvr32(L"/n /i:user"), ExitsWith(0u));
  ExpectClassesTable(UserClasses(), ServerDllPath());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + kClsid));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TorvoShellMenu.TorvoShellContextMenu"));
  // The type library is registered (Wine files even the per-user registration machine-wide).
  std::wstring path;
  EXPECT_TRUE(ReadRegString(
      HKEY_LOCAL_MACHINE, L"Software\\Classes\\TypeLib\\" + std::wstring(kLibIdText) + L"\\1.0\\0\\" + kTypeLibPlatform,
      L"", path));
  ASSERT_THAT(RunRegsvr32(L"/u /n /i:user"), ExitsWith(0u));
  ExpectRemoved(UserClasses());
}

TEST_F(Registration, ApostropheInTheDllPathIsWrittenOnce) {
  ScratchFolder folder(L"torvo-it's here");
  const std::wstring copy = folder.Path() + L"\\TorvoShellMenu.dll";
  ASSERT_TRUE(::CopyFileW(ServerDllPath().c_str(), copy.c_str(), FALSE));
  ASSERT_THAT(RunRegsvr32(L"", copy), ExitsWith(0u));
  ExpectClassesTable(MachineClasses(), copy);
  ASSERT_THAT(RunRegsvr32(L"/u", copy), ExitsWith(0u));
  ExpectRemoved(MachineClasses());
}

// DllInstall's command line: "user" in any case, and nothing else, switches to per-user mode.
TEST_F(Registration, OnlyTheWholeWordUserInAnyCaseRegistersPerUser) {
  for (const wchar_t* commandLine : {L"users", L"use", L""}) {
    ServerDll dll;
    ASSERT_EQ(dll.Install(TRUE, commandLine), S_OK);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + kClsid)) << commandLine;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + kClsid)) << commandLine;
    ASSERT_EQ(dll.Install(FALSE, commandLine), S_OK);
  }
  ServerDll dll;
  ASSERT_EQ(dll.Install(TRUE, L"User"), S_OK);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\CLSID\\" + kClsid));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + kClsid));
  // The mode stays for the process: a plain registration afterwards is per user too.
  ASSERT_EQ(dll.RegisterServer(), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + kClsid));
  ASSERT_EQ(dll.Install(FALSE, nullptr), S_OK);
  ExpectGone(UserClasses());
}

HRESULT WINAPI RefusingUnRegisterTypeLib(REFGUID, WORD, WORD, LCID, SYSKIND) { return TYPE_E_REGISTRYACCESS; }

// A type library whose removal fails (one already gone, say) does not keep the rest registered.
TEST_F(Registration, FailedTypeLibraryRemovalStillRemovesEverythingElse) {
  ServerDll dll;
  ASSERT_TRUE(dll.Loaded());
  ASSERT_EQ(dll.RegisterServer(), S_OK);
  {
    ImportPatch patch(dll.Module(), "oleaut32.dll", "UnRegisterTypeLib",
                      reinterpret_cast<void*>(&RefusingUnRegisterTypeLib));
    ASSERT_TRUE(patch.Applied());
    EXPECT_EQ(dll.UnregisterServer(), TYPE_E_REGISTRYACCESS);
  }
  ::UnRegisterTypeLib(LIBID_TorvoShellMenuLib, 1, 0, 0, kTypeLibKind);
  ExpectGone(MachineClasses());
}

TEST_F(Registration, UnregisteringWhatIsNotThereChangesNothing) {
  // The result is that of the type library's removal as the platform answers it for a library it
  // does not know, and of the proxy calls.
  const HRESULT platformAnswer = ::UnRegisterTypeLib(LIBID_TorvoShellMenuLib, 1, 0, 0, kTypeLibKind);
  ServerDll dll;
  ASSERT_TRUE(dll.Loaded());
  const HRESULT hr = dll.UnregisterServer();
  if (SUCCEEDED(platformAnswer)) {
    EXPECT_EQ(hr, S_OK);
  } else {
    EXPECT_EQ(hr, platformAnswer);
  }
  ExpectGone(MachineClasses());
  ExpectGone(UserClasses());
}

}  // namespace
}  // namespace torvo
