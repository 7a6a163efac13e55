// The script walker on Wine's real registry through the Win32 registry adapter.
#include "platform/win32/win32_registry.h"

#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "registrar/register_mode.h"
#include "registrar/script_walker.h"
#include "tests/wine/platform/registry_support.h"
#include "tests/wine/support/import_patch.h"

namespace torvo {
namespace {

using wine::KeyExists;
using wine::kScratchKey;
using wine::ReadString;
using wine::ReadValue;

class WalkerOnRealRegistry : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey); }
  void TearDown() override {
    g_registerPerUser = false;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
  }

  HResult Apply(const std::string& script, bool registerFlag) {
    CRegScriptParser parser(variables, registry);
    const std::u16string text(script.begin(), script.end());
    return ApplyScript(parser, text.c_str(), registerFlag ? WalkPass::kRegister : WalkPass::kUnregister);
  }
  std::vector<RegistryDifference> Check(const std::string& script) {
    CRegScriptParser parser(variables, registry);
    const std::u16string text(script.begin(), script.end());
    EXPECT_EQ(ApplyScript(parser, text.c_str(), WalkPass::kCheck), kOk);
    return parser.differences;
  }

  SubstitutionMap variables;
  win32::Win32Registry registry;
};

constexpr char kEveryType[] =
    "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n"
    "\t\tTorvoTest = s 'default'\r\n\t\t{\r\n"
    "\t\t\tval Text = s 'it''s'\r\n"
    "\t\t\tval List = m 'a\\0bc'\r\n"
    "\t\t\tval Number = d '305419896'\r\n"
    "\t\t\tval Bytes = b '0aFF'\r\n"
    "\t\t\tval Nothing = b ''\r\n"
    "\t\t\tSub = s 'x'\r\n"
    "\t\t}\r\n\t}\r\n}\r\n";

TEST_F(WalkerOnRealRegistry, EveryValueTypeIsStoredWithItsTypeAndBytesReadBackAndRemovedAgain) {
  ASSERT_EQ(Apply(kEveryType, true), kOk);

  const struct {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  } expected[] = {
      {L"", REG_SZ, wine::Utf16Bytes(L"default")},
      {L"Text", REG_SZ, wine::Utf16Bytes(L"it's")},
      {L"List", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0}},
      {L"Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
      {L"Bytes", REG_BINARY, {0x0A, 0xFF}},
      {L"Nothing", REG_BINARY, {}},
  };
  for (const auto& value : expected) {
    SCOPED_TRACE(::testing::PrintToString(std::wstring(value.name)));
    const wine::RawValue stored = ReadValue(HKEY_CURRENT_USER, kScratchKey, value.name);
    ASSERT_EQ(stored.status, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, value.type);
    EXPECT_EQ(stored.bytes, value.bytes);
  }
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, std::wstring(kScratchKey) + L"\\Sub", L""), L"x");

  // The check reads every value back as it was written; a changed number is its one difference.
  EXPECT_TRUE(Check(kEveryType).empty());
  const DWORD other = 7;
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kScratchKey, L"Number", REG_DWORD, &other, sizeof other),
            ERROR_SUCCESS);
  const std::vector<RegistryDifference> differences = Check(kEveryType);
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0].kind, DifferenceKind::kDifferentData);
  EXPECT_EQ(differences[0].keyPath, u"HKCU\\Software\\TorvoTest");
  EXPECT_EQ(differences[0].valueName, u"Number");

  ASSERT_EQ(Apply(kEveryType, false), kOk);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kScratchKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(WalkerOnRealRegistry, DwordTextIsReadByThePlatformsConversion) {
  EXPECT_EQ(Apply("HKCU { NoRemove Software { TorvoTest { val Max = d 4294967295 } } }", true), kOk);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kScratchKey, L"Max").bytes, (std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Apply("HKCU { NoRemove Software { TorvoTest { val Bad = d 'x1' } } }", true), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kScratchKey, L"Bad").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(WalkerOnRealRegistry, ForceRemoveDeletesARealSubtree) {
  HKEY deep = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\TorvoTest\\App\\a\\b\\c", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &deep, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(deep, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
  ::RegCloseKey(deep);
  // The walker deletes through RegDeleteKeyExW, which Wine's advapi32 exports.
  EXPECT_NE(::GetProcAddress(::GetModuleHandleW(L"Advapi32.dll"), "RegDeleteKeyExW"), nullptr);

  ASSERT_EQ(Apply("HKCU { NoRemove Software { NoRemove TorvoTest { ForceRemove App { Own } } } }", true), kOk);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\TorvoTest\\App\\a"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\TorvoTest\\App\\Own"));
}

// Wine answers RegOpenKeyExW(HKEY_CURRENT_USER, null) with HKEY_CURRENT_USER itself, a handle the
// walker must not release.
TEST_F(WalkerOnRealRegistry, ValueOfARootKeyIsWrittenAndDeleted) {
  EXPECT_EQ(Apply("HKCU { val TorvoTestRootValue = s 'root' }", true), kOk);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"", L"TorvoTestRootValue"), L"root");
  EXPECT_EQ(Apply("HKCU { val TorvoTestRootValue = s 'root' }", false), kOk);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"", L"TorvoTestRootValue").status, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(WalkerOnRealRegistry, PredefinedKeysHaveThePlatformsHandleValues) {
  EXPECT_EQ(reinterpret_cast<RegKey>(HKEY_CLASSES_ROOT), kHkeyClassesRoot);
  EXPECT_EQ(reinterpret_cast<RegKey>(HKEY_CURRENT_USER), kHkeyCurrentUser);
  EXPECT_EQ(reinterpret_cast<RegKey>(HKEY_LOCAL_MACHINE), kHkeyLocalMachine);
  EXPECT_EQ(reinterpret_cast<RegKey>(HKEY_USERS), kHkeyUsers);
  EXPECT_EQ(reinterpret_cast<RegKey>(HKEY_PERFORMANCE_DATA), kHkeyPerformanceData);
  EXPECT_EQ(reinterpret_cast<RegKey>(HKEY_CURRENT_CONFIG), kHkeyCurrentConfig);
  EXPECT_EQ(reinterpret_cast<RegKey>(HKEY_DYN_DATA), kHkeyDynData);
}

bool HasSubkeys(HKEY root, const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
  ::RegCloseKey(key);
  return subkeys > 0;
}

// The Software and Classes keys the redirection adds are removable: Classes goes too when the
// script's key was all it held (as in a fresh Wine prefix).
TEST_F(WalkerOnRealRegistry, PerUserModePutsTheClassesBlockUnderTheUsersClasses) {
  const bool classesHeldOtherKeys = HasSubkeys(HKEY_CURRENT_USER, L"Software\\Classes");
  g_registerPerUser = true;
  constexpr char kScript[] = "HKCR { TorvoTestClass = s 'per user' }";
  ASSERT_EQ(Apply(kScript, true), kOk);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, L"Software\\Classes\\TorvoTestClass", L""), L"per user");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TorvoTestClass"));
  ASSERT_EQ(Apply(kScript, false), kOk);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\TorvoTestClass"));
  EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes"), classesHeldOtherKeys);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

// A key whose access list denies writing values: Wine refuses the read-write open, the walker
// falls back to a read-only handle, and writing its default value fails with access denied.
class LockedKey {
 public:
  explicit LockedKey(const wchar_t* path) : path_(path) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    SetAccess(key, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)");  // deny KEY_SET_VALUE | KEY_CREATE_SUB_KEY
    ::RegCloseKey(key);
  }
  LockedKey(const LockedKey&) = delete;
  LockedKey& operator=(const LockedKey&) = delete;
  ~LockedKey() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path_, 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) return;
    SetAccess(key, L"D:(A;;KA;;;WD)");
    ::RegCloseKey(key);
  }

 private:
  static void SetAccess(HKEY key, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return;
    ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    ::LocalFree(descriptor);
  }

  const wchar_t* path_;
};

TEST_F(WalkerOnRealRegistry, RealAccessDenialRollsTheFailingBlockBack) {
  LockedKey locked(L"Software\\TorvoTest\\Locked");
  HKEY probe = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\TorvoTest\\Locked", 0, KEY_WRITE, &probe),
            ERROR_ACCESS_DENIED);

  EXPECT_EQ(Apply("HKCU { NoRemove Software { NoRemove TorvoTest { Early = s 'e' { val V = s 'v' }"
                  " Locked = s 'refused' Late = s 'l' } } }",
                  true),
            E_ACCESSDENIED);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\TorvoTest\\Early"));  // rolled back
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\TorvoTest\\Late"));   // never reached
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, L"Software\\TorvoTest\\Locked", L"").status, ERROR_FILE_NOT_FOUND);
}

// A value that another writer makes larger at every read: it grows `growths` times, by 2 bytes each.
int g_growths = 0;
LONG WINAPI GrowingValue(HKEY, LPCWSTR, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD bytes) {
  static DWORD size = 4;
  if (data == nullptr) size = 4;
  const bool grows = data != nullptr && g_growths > 0;
  if (grows) --g_growths, size += 2;
  if (type != nullptr) *type = REG_BINARY;
  if (grows || (data != nullptr && *bytes < size)) {
    *bytes = size;
    return ERROR_MORE_DATA;
  }
  if (data != nullptr) std::fill(data, data + size, BYTE{0x5A});
  *bytes = size;
  return ERROR_SUCCESS;
}

TEST(Win32Registry, AValueStillGrowingAfterTheLastAttemptAnswersMoreDataNotAnUnfilledSuccess) {
  wine::ImportPatch patch(::GetModuleHandleW(nullptr), "advapi32.dll", "RegQueryValueExW",
                          reinterpret_cast<void*>(&GrowingValue));
  ASSERT_TRUE(patch.Applied());
  win32::Win32Registry registry;
  struct Row {
    int growths;
    std::int32_t result;
    std::size_t bytes;
  };
  for (const Row row : {Row{3, ERROR_SUCCESS, 10}, Row{4, ERROR_MORE_DATA, 0}}) {
    g_growths = row.growths;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(registry.QueryValue(kHkeyCurrentUser, u"Growing", &type, data), row.result) << row.growths;
    if (row.result == ERROR_SUCCESS) {
      EXPECT_EQ(data, std::vector<std::uint8_t>(row.bytes, 0x5A)) << row.growths;
    }
  }
}

}  // namespace
}  // namespace torvo
