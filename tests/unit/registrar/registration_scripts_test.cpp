// The module's two scripts, applied and removed the way registration does it, give exactly the
// registry entries the module is meant to leave, machine-wide and per user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "registrar/registry_resource.h"
#include "registrar/shared_keys.h"
#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_script_source.h"
#include "tests/fakes/memory_registry.h"
#include "tests/fakes/registry_scripts.h"
#include "tests/unit/registrar/registrar_test_support.h"

namespace torvo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

constexpr char kAppId[] = "{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}";
constexpr char kClsid[] = "{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}";
constexpr char kDllPath[] = "C:\\Program Files\\ZebTorvo\\TorvoShellMenu.dll";

class TorvoModule : public RegistrarModule {
 public:
  HResult AddCommonSubstitutions(IRegistrarBase& registrar) override {
    return registrar.AddSubstitution(u"APPID", fakes::kAppId);
  }
};

struct Entry {
  std::string key;                                          // below the classes root unless it starts with HKLM
  std::vector<std::pair<std::string, std::string>> values;  // "" names the default value
};

// What registration adds and removal takes away again.
std::vector<Entry> RegisteredEntries() {
  const std::string progId = "TorvoShellMenu.TorvoShellContextMenu";
  const std::string clsidKey = std::string("CLSID\\") + kClsid;
  std::vector<Entry> entries = {
      {std::string("AppID\\") + kAppId, {{"", "TorvoShellMenu"}}},
      {"AppID\\TorvoShellMenu.DLL", {{"AppID", kAppId}}},
      {progId + ".1", {{"", "TorvoShellContextMenu Class"}}},
      {progId + ".1\\CLSID", {{"", kClsid}}},
      {progId, {{"", "TorvoShellContextMenu Class"}}},
      {progId + "\\CLSID", {{"", kClsid}}},
      {progId + "\\CurVer", {{"", progId + ".1"}}},
      {clsidKey, {{"", "TorvoShellContextMenu Class"}}},
      {clsidKey + "\\InprocServer32", {{"", kDllPath}, {"ThreadingModel", "Apartment"}}},
      {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\ZebTorvoShellExt",
       {{"", kClsid}}},
  };
  for (const char* classKey : {"*", "lnkfile", "InternetShortcut", "Directory"}) {
    entries.push_back({std::string(classKey) + "\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt", {{"", kClsid}}});
  }
  return entries;
}

// What removal keeps: the parents marked NoRemove.
std::vector<std::string> KeptKeys() {
  std::vector<std::string> keys = {"AppID", "CLSID"};
  for (const char* classKey : {"*", "lnkfile", "InternetShortcut", "Directory"}) {
    keys.push_back(classKey);
    keys.push_back(std::string(classKey) + "\\ShellEx");
    keys.push_back(std::string(classKey) + "\\ShellEx\\ContextMenuHandlers");
  }
  std::string hklm = "HKLM";
  for (const char* name : {"Software", "Microsoft", "Windows", "CurrentVersion", "Shell Extensions", "Approved"}) {
    hklm += std::string("\\") + name;
    keys.push_back(hklm);
  }
  return keys;
}

std::string Placed(const std::string& key, const std::string& classesRoot) {
  return key.rfind("HKLM\\", 0) == 0 ? key : classesRoot + "\\" + key;
}

std::vector<std::string> KeptLines(const std::string& classesRoot) {
  std::vector<std::string> lines;
  if (classesRoot != "HKCR") lines = {"HKCU\\Software", "HKCU\\Software\\Classes"};
  for (const std::string& key : KeptKeys()) lines.push_back(Placed(key, classesRoot));
  return lines;
}

std::vector<std::string> RegisteredLines(const std::string& classesRoot) {
  std::vector<std::string> lines = KeptLines(classesRoot);
  for (const Entry& entry : RegisteredEntries()) {
    const std::string key = Placed(entry.key, classesRoot);
    lines.push_back(key);
    for (const auto& [name, text] : entry.values) lines.push_back(key + " [" + name + "] = REG_SZ \"" + text + "\"");
  }
  // The approval the shell honours: a value named by the class on the kept Approved key.
  lines.push_back(KeptLines(classesRoot).back() + " [" + kClsid + "] = REG_SZ \"ZebTorvoShellExt\"");
  return lines;
}

class RegistrationScripts : public ::testing::Test {
 protected:
  RegistrationScripts() {
    source.modulePath = testing_support::U16(kDllPath);
    source.registryResources[101] = std::string(fakes::kAppIdScript);
    source.registryResources[102] = std::string(fakes::kHandlerScript);
  }

  HResult AppIdScript(bool registerFlag, Registry& target) {
    const SubstitutionEntry entries[] = {{u"APPID", fakes::kAppId}, {nullptr, nullptr}};
    return ApplyRegistryResource(module, source, target, 101, registerFlag, entries);
  }
  HResult HandlerScript(bool registerFlag, Registry& target) {
    return ApplyRegistryResource(module, source, target, 102, registerFlag, nullptr);
  }
  HResult RegisterBoth() {
    TORVO_RETURN_IF_FAILED(AppIdScript(true, registry));
    return HandlerScript(true, registry);
  }
  HResult UnregisterBoth(Registry& target) {
    TORVO_RETURN_IF_FAILED(HandlerScript(false, target));
    return AppIdScript(false, target);
  }
  HResult UnregisterBoth() { return UnregisterBoth(registry); }
  // Both scripts in the check pass, which must succeed without a single write.
  std::vector<RegistryDifference> CheckBoth() {
    const int writes = registry.writeRequests;
    const SubstitutionEntry entries[] = {{u"APPID", fakes::kAppId}, {nullptr, nullptr}};
    std::vector<RegistryDifference> differences;
    EXPECT_EQ(CheckRegistryResource(module, source, registry, 101, entries, differences), kOk);
    EXPECT_EQ(CheckRegistryResource(module, source, registry, 102, nullptr, differences), kOk);
    EXPECT_EQ(registry.writeRequests, writes) << "the check wrote to the registry";
    return differences;
  }

  void TearDown() override { EXPECT_EQ(registry.OpenHandles(), 0u); }

  TorvoModule module;
  fakes::FakeScriptSource source;
  fakes::MemoryRegistry registry;
};

TEST_F(RegistrationScripts, MachineWideRegistrationLeavesExactlyTheTable) {
  ASSERT_EQ(RegisterBoth(), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAreArray(RegisteredLines("HKCR")));
  ASSERT_EQ(UnregisterBoth(), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAreArray(KeptLines("HKCR")));
}

TEST_F(RegistrationScripts, PerUserRegistrationMovesTheClassesBlocksButNotHklm) {
  testing_support::PerUserMode perUser;
  ASSERT_EQ(RegisterBoth(), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAreArray(RegisteredLines("HKCU\\Software\\Classes")));
  ASSERT_EQ(UnregisterBoth(), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAreArray(KeptLines("HKCU\\Software\\Classes")));
}

// While the other build stays registered, the removal leaves what both registry views share (the
// AppID, the ProgIDs, the handler keys) and takes this view's class and approval; machine-wide and
// per user.
class RemovalBesideTheOtherBuild : public RegistrationScripts, public ::testing::WithParamInterface<bool> {};

TEST_P(RemovalBesideTheOtherBuild, LeavesTheSharedKeys) {
  testing_support::PerUserMode mode(GetParam());
  const std::string classesRoot = GetParam() ? "HKCU\\Software\\Classes" : "HKCR";
  ASSERT_EQ(RegisterBoth(), kOk);
  SharedKeyKeeper keeper(registry);
  ASSERT_EQ(UnregisterBoth(keeper), kOk);
  std::vector<std::string> expected = KeptLines(classesRoot);
  for (const Entry& entry : RegisteredEntries()) {
    if (entry.key.rfind("CLSID\\", 0) == 0 || entry.key.rfind("HKLM\\", 0) == 0) continue;
    const std::string key = Placed(entry.key, classesRoot);
    expected.push_back(key);
    for (const auto& [name, text] : entry.values) expected.push_back(key + " [" + name + "] = REG_SZ \"" + text + "\"");
  }
  EXPECT_THAT(registry.Dump(), UnorderedElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(Modes, RemovalBesideTheOtherBuild, ::testing::Bool());

TEST_F(RegistrationScripts, FullRegistrationChecksCleanMachineWideAndPerUser) {
  ASSERT_EQ(RegisterBoth(), kOk);
  EXPECT_THAT(CheckBoth(), IsEmpty());
  {
    testing_support::PerUserMode perUser;
    std::vector<std::u16string> missing;  // the checked HKCR blocks moved under the user's classes
    for (const RegistryDifference& difference : CheckBoth()) missing.push_back(difference.keyPath);
    EXPECT_THAT(missing, ElementsAre(u"HKCU\\Software", u"HKCU\\Software"));
    ASSERT_EQ(RegisterBoth(), kOk);
    EXPECT_THAT(CheckBoth(), IsEmpty());
  }
}

struct DifferenceCase {
  const char* name;
  RegKey root;
  std::u16string key;                             // the key the change is made to
  std::function<void(Registry&, RegKey)> change;  // given that key opened for writing
  DifferenceKind kind;
  std::u16string reportedKey;
  std::u16string reportedValue;
  std::u16string ownedKey;  // the outermost key on the way that the removal deletes
};

class RegistrationDifferences : public RegistrationScripts, public ::testing::WithParamInterface<DifferenceCase> {};

TEST_P(RegistrationDifferences, AreEachReportedOnceWithKeyValueAndTheKeyTheScriptOwns) {
  ASSERT_EQ(RegisterBoth(), kOk);
  const DifferenceCase& row = GetParam();
  RegKey key = 0;
  ASSERT_EQ(registry.OpenKey(row.root, row.key.c_str(), kKeyReadWrite, &key), 0);
  row.change(registry, key);
  ASSERT_EQ(registry.CloseKey(key), 0);
  const std::vector<RegistryDifference> differences = CheckBoth();
  ASSERT_EQ(differences.size(), 1u);
  EXPECT_EQ(differences[0].kind, row.kind);
  EXPECT_EQ(differences[0].keyPath, row.reportedKey);
  EXPECT_EQ(differences[0].valueName, row.reportedValue);
  EXPECT_EQ(differences[0].ownedKeyPath, row.ownedKey);
}

const std::u16string kClass = std::u16string(u"CLSID\\") + fakes::kClsid;
const std::u16string kInproc = kClass + u"\\InprocServer32";
const std::u16string kHandlers = u"Directory\\ShellEx\\ContextMenuHandlers";
const std::u16string kApproved = u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

INSTANTIATE_TEST_SUITE_P(
    Rows, RegistrationDifferences,
    ::testing::Values(
        DifferenceCase{"MissingValue", kHkeyClassesRoot, kInproc,
                       [](Registry& r, RegKey k) { r.DeleteValue(k, u"ThreadingModel"); },
                       DifferenceKind::kMissingValue, u"HKCR\\" + kInproc, u"ThreadingModel", u"HKCR\\" + kClass},
        DifferenceCase{"MissingKey", kHkeyClassesRoot, kHandlers,
                       [](Registry& r, RegKey k) { r.DeleteKey(k, u"ZebTorvoShellExt"); }, DifferenceKind::kMissingKey,
                       u"HKCR\\" + kHandlers + u"\\ZebTorvoShellExt", u"",
                       u"HKCR\\" + kHandlers + u"\\ZebTorvoShellExt"},
        DifferenceCase{"DifferentType", kHkeyClassesRoot, kInproc,
                       [](Registry& r, RegKey k) { r.SetValue(k, u"ThreadingModel", kRegBinary, "Apartment", 9); },
                       DifferenceKind::kDifferentType, u"HKCR\\" + kInproc, u"ThreadingModel", u"HKCR\\" + kClass},
        DifferenceCase{"DifferentData", kHkeyLocalMachine, kApproved + u"\\ZebTorvoShellExt",
                       [](Registry& r, RegKey k) { r.SetValue(k, nullptr, kRegSz, u"{0}", 8); },
                       DifferenceKind::kDifferentData, u"HKLM\\" + kApproved + u"\\ZebTorvoShellExt", u"",
                       u"HKLM\\" + kApproved + u"\\ZebTorvoShellExt"},
        // A value of a key the removal keeps: nothing on the way is the script's own.
        DifferenceCase{"DifferentDataOfAKeptKey", kHkeyLocalMachine, kApproved,
                       [](Registry& r, RegKey k) { r.SetValue(k, fakes::kClsid, kRegSz, u"x", 4); },
                       DifferenceKind::kDifferentData, u"HKLM\\" + kApproved, fakes::kClsid, u""}),
    fakes::CaseName());

TEST_F(RegistrationScripts, RegisteringAgainOverForeignSubkeysRewritesTheForcedKeys) {
  const std::u16string clsidKey = std::u16string(u"CLSID\\") + fakes::kClsid;
  registry.AddString(kHkeyClassesRoot, clsidKey + u"\\LocalServer32", u"", u"C:\\old.exe");
  registry.AddString(kHkeyClassesRoot, clsidKey + u"\\InprocServer32", u"Stale", u"x");
  registry.AddString(kHkeyClassesRoot, u"Directory\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt\\Extra", u"", u"x");
  registry.AddString(kHkeyLocalMachine,
                     u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\Other", u"", u"y");
  ASSERT_EQ(RegisterBoth(), kOk);
  std::vector<std::string> expected = RegisteredLines("HKCR");
  expected.push_back("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\Other");
  expected.push_back(
      "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\Other [] = REG_SZ \"y\"");
  EXPECT_THAT(registry.Dump(), UnorderedElementsAreArray(expected));
}

TEST_F(RegistrationScripts, UnregisteringWithTheApprovalValueAlreadyGoneRemovesTheRest) {
  ASSERT_EQ(RegisterBoth(), kOk);
  RegKey approved = 0;
  ASSERT_EQ(registry.OpenKey(kHkeyLocalMachine, kApproved.c_str(), kKeyReadWrite, &approved), 0);
  ASSERT_EQ(registry.DeleteValue(approved, testing_support::U16(kClsid).c_str()), 0);
  ASSERT_EQ(registry.CloseKey(approved), 0);
  ASSERT_EQ(UnregisterBoth(), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAreArray(KeptLines("HKCR")));
}

TEST_F(RegistrationScripts, UnregisteringWhenNothingIsRegisteredChangesNothing) {
  ASSERT_EQ(UnregisterBoth(), kOk);
  EXPECT_TRUE(registry.Dump().empty());
}

// A standard user's own registration stands without the approval only an administrator may write.
TEST_F(RegistrationScripts, WriteProtectedHklmLeavesThePerUserRegistrationStandingAndSaysSo) {
  testing_support::PerUserMode perUser;
  registry.DenyWrites(kHkeyLocalMachine, u"");
  EXPECT_EQ(RegisterBoth(), kFalse);
  EXPECT_EQ(registry.StringValue(kHkeyCurrentUser, std::u16string(u"Software\\Classes\\CLSID\\") + fakes::kClsid, u""),
            u"TorvoShellContextMenu Class");
  EXPECT_FALSE(registry.KeyExists(kHkeyLocalMachine, u"Software"));
}

}  // namespace
}  // namespace torvo
