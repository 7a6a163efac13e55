// torvo-package.exe's steps against a PackageManager that records its calls and answers as a row
// asks: what the installer's steps and the sign-in step ask of Windows, in which order, and what
// each failure leaves.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/fakes/case_name.h"
#include "tools/package/package_family.h"
#include "tools/package/package_steps.h"

namespace torvo::package {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char16_t kFolder[] = u"C:\\Program Files\\ZebTorvo\\";
constexpr char16_t kFile[] = u"C:\\Program Files\\ZebTorvo\\TorvoShellMenu.msix";
constexpr char16_t kPublisher[] = u"CN=ZebTorvo";
constexpr HResult kRefused = MakeStatus(0x80073CF9);  // ERROR_INSTALL_FAILED
constexpr HResult kNotFound = MakeStatus(0x80073CF1);

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

class FakeDeployment : public PackageDeployment {
 public:
  HResult Stage(const std::u16string& file, const std::u16string& folder) override {
    return Call("stage " + Narrow(file) + " at " + Narrow(folder));
  }
  HResult ProvisionForAllUsers(const std::u16string& family) override { return Call("provision " + Narrow(family)); }
  HResult DeprovisionForAllUsers(const std::u16string& family) override {
    return Call("deprovision " + Narrow(family));
  }
  HResult AddForUser(const std::u16string& file, const std::u16string& folder) override {
    return Call("add " + Narrow(file) + " at " + Narrow(folder));
  }
  HResult Packages(const std::u16string&, bool, std::vector<FamilyPackage>& packages) override {
    packages = registered;
    const auto answer = answers.find("packages");
    return answer == answers.end() ? kOk : answer->second;
  }
  HResult Remove(const std::u16string& fullName, bool allUsers) override {
    return Call("remove " + Narrow(fullName) + (allUsers ? " for all" : ""));
  }

  std::vector<std::string> calls;
  std::map<std::string, HResult> answers;  // by the call's first word
  std::vector<FamilyPackage> registered;

 private:
  HResult Call(const std::string& call) {
    calls.push_back(call);
    const auto answer = answers.find(call.substr(0, call.find(' ')));
    return answer == answers.end() ? kOk : answer->second;
  }
};

class FakeHost : public PackageHost {
 public:
  std::uint32_t WindowsBuild() override { return build; }
  std::u16string ProgramFolder() override { return kFolder; }
  std::u16string Publisher() override { return kPublisher; }
  std::u16string Version() override { return u"1.3.0.1001"; }
  bool FileExists(const std::u16string& path) override { return packageThere && path == kFile; }
  bool MenuTurnedOff() override { return turnedOff; }
  std::optional<std::u16string> UserRecord() override { return record; }
  void SetUserRecord(const std::u16string& text) override { record = text; }
  void Say(const std::u16string& line) override { said.push_back(Narrow(line)); }
  void SayFailure(const std::u16string& line) override {
    Say(line);
    failures.push_back(Narrow(line));
  }

  std::uint32_t build = 22631;
  bool packageThere = true;
  bool turnedOff = false;
  std::optional<std::u16string> record;
  std::vector<std::string> said;
  std::vector<std::string> failures;
};

const std::string kFamily = Narrow(FamilyName(kPackageName, kPublisher));
const std::string kStage = "stage " + Narrow(kFile) + " at " + Narrow(kFolder);
const std::string kAdd = "add " + Narrow(kFile) + " at " + Narrow(kFolder);

class PackageStep : public ::testing::Test {
 protected:
  PackageExit Run(const char16_t* step) { return RunPackageStep({step}, deployment, host); }
  FakeDeployment deployment;
  FakeHost host;
};

TEST_F(PackageStep, TheInstallerStagesWithTheFolderThenProvisionsTheFamily) {
  EXPECT_EQ(Run(u"/provision"), PackageExit::kDone);
  EXPECT_THAT(deployment.calls, ElementsAre(kStage, "provision " + kFamily));
}

TEST_F(PackageStep, AStageRefusedProvisionsNothingAndSaysWhy) {
  deployment.answers["stage"] = kRefused;
  EXPECT_EQ(Run(u"/provision"), PackageExit::kStageFailed);
  EXPECT_THAT(deployment.calls, ElementsAre(kStage));
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_NE(host.failures[0].find("0x80073CF9"), std::string::npos) << host.failures[0];
  deployment.calls.clear();
  deployment.answers = {{"provision", kRefused}};
  EXPECT_EQ(Run(u"/provision"), PackageExit::kProvisionFailed);
}

TEST_F(PackageStep, NothingIsAskedOfWindowsBefore11OrWithoutThePackageOrForAnUnknownStep) {
  host.build = 19045;
  for (const char16_t* step : {u"/provision", u"/remove", u"/user"}) EXPECT_EQ(Run(step), PackageExit::kNothingToDo);
  host.build = 22631;
  host.packageThere = false;
  EXPECT_EQ(Run(u"/provision"), PackageExit::kNoPackageFile);
  EXPECT_EQ(Run(u"/user"), PackageExit::kNoPackageFile);
  EXPECT_EQ(RunPackageStep({}, deployment, host), PackageExit::kUsage);
  EXPECT_EQ(Run(u"/install"), PackageExit::kUsage);
  EXPECT_THAT(deployment.calls, IsEmpty());
}

TEST_F(PackageStep, RemovalDeprovisionsAndRemovesEveryPackageOfTheFamilyForAllUsers) {
  deployment.registered = {{u"ZebTorvo.TorvoShellMenu_1.3.0.1000_x64__id", u"1.3.0.1000"},
                           {u"ZebTorvo.TorvoShellMenu_1.3.0.1001_x64__id", u"1.3.0.1001"}};
  deployment.answers["deprovision"] = kNotFound;  // never provisioned: nothing to undo
  EXPECT_EQ(Run(u"/remove"), PackageExit::kDone);
  EXPECT_THAT(deployment.calls,
              ElementsAre("deprovision " + kFamily, "remove ZebTorvo.TorvoShellMenu_1.3.0.1000_x64__id for all",
                          "remove ZebTorvo.TorvoShellMenu_1.3.0.1001_x64__id for all"));
  deployment.answers["remove"] = kRefused;
  EXPECT_EQ(Run(u"/remove"), PackageExit::kRemoveFailed);
}

// The sign-in step: each row is what this user has, and what the step then asks of Windows.
struct UserRow {
  const char* name;
  std::vector<FamilyPackage> registered;
  std::optional<std::u16string> record;  // what the step registered last time
  std::vector<std::string> calls;
};

class SignInStep : public PackageStep, public ::testing::WithParamInterface<UserRow> {};

TEST_P(SignInStep, RegistersOnlyWhatTheUserLacksAndRecordsIt) {
  deployment.registered = GetParam().registered;
  host.record = GetParam().record;
  EXPECT_EQ(Run(u"/user"), PackageExit::kDone);
  EXPECT_EQ(deployment.calls, GetParam().calls);
  EXPECT_EQ(host.record, std::u16string(u"1.3.0.1001|") + kFolder);
}

const FamilyPackage kThisVersion{u"ZebTorvo.TorvoShellMenu_1.3.0.1001_x64__id", u"1.3.0.1001"};
INSTANTIATE_TEST_SUITE_P(
    Rows, SignInStep,
    ::testing::Values(UserRow{"Missing", {}, std::nullopt, {kAdd}},
                      UserRow{"RegisteredByTheProvisioning", {kThisVersion}, std::nullopt, {}},
                      UserRow{"RegisteredBefore", {kThisVersion}, u"1.3.0.1001|c:\\program files\\zebtorvo\\", {}},
                      UserRow{"OfAnotherVersion",
                              {{u"ZebTorvo.TorvoShellMenu_1.3.0.1000_x64__id", u"1.3.0.1000"}},
                              u"1.3.0.1000|C:\\Program Files\\ZebTorvo\\",
                              {"remove ZebTorvo.TorvoShellMenu_1.3.0.1000_x64__id", kAdd}},
                      UserRow{"ForAnotherFolder",
                              {kThisVersion},
                              u"1.3.0.1001|D:\\Agent\\",
                              {"remove ZebTorvo.TorvoShellMenu_1.3.0.1001_x64__id", kAdd}}),
    fakes::CaseName());

TEST_F(PackageStep, TheAdministratorsChoiceStopsTheSignInStep) {
  host.turnedOff = true;
  EXPECT_EQ(Run(u"/user"), PackageExit::kNothingToDo);
  EXPECT_THAT(deployment.calls, IsEmpty());
  EXPECT_EQ(host.record, std::nullopt);
}

TEST_F(PackageStep, ARefusedRegistrationIsToldAndNotRecorded) {
  deployment.answers["add"] = kRefused;
  EXPECT_EQ(Run(u"/user"), PackageExit::kRegisterFailed);
  EXPECT_EQ(host.record, std::nullopt);
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_NE(host.failures[0].find("0x80073CF9"), std::string::npos) << host.failures[0];
}

}  // namespace
}  // namespace torvo::package
