// torvo-doctor --fix's repairs: planned once each in the order they must run, refused whole when a
// place they change may not be written, and undone when they fail half-way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/fakes/fake_repair_platform.h"
#include "tools/doctor/repair/repair.h"

namespace torvo::doctor {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::u16string kClassKey = u"Software\\Classes\\CLSID\\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}";
const std::u16string kHandlerKey = u"Software\\Classes\\Directory\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt";
const std::u16string kApproved = u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

const Repair kRegistration{RepairKind::kRegister,
                           u"C:\\ZebTorvo\\TorvoShellMenu.dll",
                           {{kHkeyLocalMachine, kClassKey, std::nullopt},
                            {kHkeyLocalMachine, kHandlerKey, std::nullopt},
                            {kHkeyLocalMachine, kApproved, u"{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}"}}};

TEST(RepairPlan, KeepsEachRepairItAppliesOnceInTheOrderTheyMustRun) {
  const Repair approval{RepairKind::kWriteText, u"ZebTorvoShellExt", {kRegistration.places[2]}};
  const Repair removal{RepairKind::kRemoveKey, {}, {{kHkeyCurrentUser, kClassKey, std::nullopt}}};
  const Repair reinstall{RepairKind::kReinstall, u"{4D2756D6-8C76-54D3-8808-137FDD0BC549}", {}};
  const Repair byHand{};
  const Repair blocked{RepairKind::kAdministrators, {}, {}};
  const Repair package{RepairKind::kRegisterPackage, u"C:\\ZebTorvo\\TorvoShellMenu.msix", {}};
  EXPECT_THAT(PlanRepairs({package, approval, byHand, kRegistration, removal, kRegistration, blocked, reinstall}),
              ElementsAre(removal, reinstall, kRegistration, approval, package));
}

class RepairApplication : public ::testing::Test {
 protected:
  fakes::FakeRepairPlatform platform;
};

TEST_F(RepairApplication, APlaceThisUserMayNotWriteLeavesTheRepairUndone) {
  platform.registry.DenyWrites(kHkeyLocalMachine, u"Software\\Classes");
  const std::vector<std::string> before = platform.registry.Dump();
  const Repair reinstall{RepairKind::kReinstall, u"{P}", {kRegistration.places[0]}};
  for (const Repair& repair : {kRegistration, reinstall}) {
    EXPECT_EQ(ApplyRepair(repair, platform).result, RepairResult::kNeedsAdministrator);
  }
  EXPECT_EQ(platform.registry.Dump(), before);
  // A refused repair before one the user may apply refuses the whole run.
  platform.registry.AddString(kHkeyCurrentUser, kClassKey, u"", u"the user's copy");
  const std::vector<std::string> withUsersKey = platform.registry.Dump();
  const Repair removal{RepairKind::kRemoveKey, {}, {{kHkeyCurrentUser, kClassKey, std::nullopt}}};
  const std::vector<RepairOutcome> outcomes = ApplyRepairs({kRegistration, removal}, platform);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].result, RepairResult::kNeedsAdministrator);
  EXPECT_EQ(outcomes[1].result, RepairResult::kNotApplied);
  EXPECT_EQ(platform.registry.Dump(), withUsersKey);
  EXPECT_THAT(platform.registered, IsEmpty());
  EXPECT_THAT(platform.reinstalled, IsEmpty());
}

TEST_F(RepairApplication, ARegistrationThatFailsHalfWayLeavesEveryPlaceAsItWas) {
  fakes::MemoryRegistry& registry = platform.registry;
  registry.AddString(kHkeyLocalMachine, kClassKey, u"", u"TorvoShellContextMenu Class");
  registry.AddString(kHkeyLocalMachine, kClassKey + u"\\InprocServer32", u"", u"C:\\old\\TorvoShellMenu.dll");
  registry.AddString(kHkeyLocalMachine, kClassKey + u"\\Foreign", u"Kept", u"x");
  registry.AddString(kHkeyLocalMachine, kApproved, u"{Other}", u"Other");
  const std::vector<std::string> before = registry.Dump();
  platform.registration = [](fakes::MemoryRegistry& written, bool) {
    written.AddString(kHkeyLocalMachine, kClassKey + u"\\InprocServer32", u"", u"C:\\ZebTorvo\\TorvoShellMenu.dll");
    written.AddString(kHkeyLocalMachine, kClassKey + u"\\InprocServer32", u"ThreadingModel", u"Apartment");
    written.AddString(kHkeyLocalMachine, kHandlerKey, u"", u"{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}");
    written.AddString(kHkeyLocalMachine, kApproved, u"{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}", u"ZebTorvoShellExt");
    RegKey key = 0;
    written.OpenKey(kHkeyLocalMachine, kClassKey.c_str(), kKeyReadWrite, &key);
    written.DeleteKey(key, u"Foreign");
    written.CloseKey(key);
    return kFail;
  };
  const RepairOutcome outcome = ApplyRepair(kRegistration, platform);
  EXPECT_EQ(outcome.result, RepairResult::kFailed);
  EXPECT_EQ(outcome.status, kFail);
  EXPECT_TRUE(outcome.restored);
  EXPECT_THAT(platform.registered, ElementsAre(u"C:\\ZebTorvo\\TorvoShellMenu.dll"));
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_EQ(registry.OpenHandles(), 0u);
}

TEST_F(RepairApplication, ALaterFailurePutsBackWhatTheRunsEarlierRepairsChanged) {
  platform.registry.AddString(kHkeyCurrentUser, kClassKey + u"\\InprocServer32", u"", u"C:\\old\\TorvoShellMenu.dll");
  const std::vector<std::string> before = platform.registry.Dump();
  const Repair removal{RepairKind::kRemoveKey, {}, {{kHkeyCurrentUser, kClassKey, std::nullopt}}};
  platform.registration = [](fakes::MemoryRegistry&, bool) { return kFail; };
  const std::vector<RepairOutcome> outcomes = ApplyRepairs({removal, kRegistration}, platform);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].result, RepairResult::kUndone);
  EXPECT_EQ(outcomes[1].result, RepairResult::kFailed);
  EXPECT_EQ(platform.registry.Dump(), before);
}

// Windows 11's package refused (a sideloading policy): the registry's fixes of the run stay.
TEST_F(RepairApplication, AFailingPackageRegistrationKeepsTheRegistrysFixes) {
  platform.registry.AddString(kHkeyCurrentUser, kClassKey + u"\\InprocServer32", u"", u"C:\\old\\TorvoShellMenu.dll");
  const Repair removal{RepairKind::kRemoveKey, {}, {{kHkeyCurrentUser, kClassKey, std::nullopt}}};
  const Repair package{RepairKind::kRegisterPackage, u"C:\\ZebTorvo\\TorvoShellMenu.msix", {}};
  platform.packageAnswer = 0x80073CFF;  // ERROR_INSTALL_POLICY_FAILURE
  const std::vector<RepairOutcome> outcomes = ApplyRepairs({removal, package}, platform);
  ASSERT_EQ(outcomes.size(), 2u);
  EXPECT_EQ(outcomes[0].result, RepairResult::kFixed);
  EXPECT_EQ(outcomes[1].result, RepairResult::kFailed);
  EXPECT_THAT(platform.packagesRegistered, ElementsAre(u"C:\\ZebTorvo\\TorvoShellMenu.msix"));
  EXPECT_FALSE(platform.registry.KeyExists(kHkeyCurrentUser, kClassKey));
}

// A standard user's repair of their own registration: the machine's approval is written where it
// may be, never required.
TEST_F(RepairApplication, AUsersRegistrationNeedsOnlyTheUsersKeys) {
  platform.registry.DenyWrites(kHkeyLocalMachine, u"");
  const Repair own{RepairKind::kRegisterPerUser,
                   u"C:\\ZebTorvo\\TorvoShellMenu.dll",
                   {{kHkeyCurrentUser, kClassKey, std::nullopt}},
                   {kRegistration.places[2]}};
  platform.registration = [](fakes::MemoryRegistry& written, bool) {
    written.AddString(kHkeyCurrentUser, kClassKey, u"", u"TorvoShellContextMenu Class");
    return kFalse;  // the DLL's answer when the approval was refused
  };
  const RepairOutcome outcome = ApplyRepair(own, platform);
  EXPECT_EQ(outcome.result, RepairResult::kFixed);
  EXPECT_TRUE(outcome.approvalRefused);
  EXPECT_EQ(platform.registry.StringValue(kHkeyCurrentUser, kClassKey, u""), u"TorvoShellContextMenu Class");
}

TEST_F(RepairApplication, TheInstallersAnswerDecides) {
  const Repair reinstall{RepairKind::kReinstall, u"{P}", {}};
  platform.reinstallAnswer = kErrorSuccessRebootRequired;
  const RepairOutcome restart = ApplyRepair(reinstall, platform);
  EXPECT_EQ(restart.result, RepairResult::kFixed);
  EXPECT_TRUE(restart.restartWindows);
  platform.reinstallAnswer = 1603;  // ERROR_INSTALL_FAILURE: the installer has rolled back
  const RepairOutcome failed = ApplyRepair(reinstall, platform);
  EXPECT_EQ(failed.result, RepairResult::kFailed);
  EXPECT_EQ(failed.status, MakeStatus(0x80070643));
}

}  // namespace
}  // namespace torvo::doctor
