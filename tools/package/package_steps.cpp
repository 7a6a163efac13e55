#include "tools/package/package_steps.h"

#include <algorithm>
#include <cstdio>

#include "common/text.h"
#include "tools/package/package_family.h"

namespace torvo::package {

namespace {

// ERROR_INSTALL_PACKAGE_NOT_FOUND: a family that is not provisioned, a package that is gone.
constexpr HResult kPackageNotFound = MakeStatus(0x80073CF1);

std::u16string Hex(HResult status) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string Number(std::size_t n) {
  const std::string text = std::to_string(n);
  return std::u16string(text.begin(), text.end());
}

std::u16string Failure(const std::u16string& what, HResult status) { return what + u" failed: " + Hex(status); }

// The names of the package beside the program, for one step.
struct Beside {
  std::u16string folder;
  std::u16string file;
  std::u16string family;
};

Beside PackageBeside(PackageHost& host) {
  const std::u16string folder = host.ProgramFolder();
  return {folder, folder + kPackageFile, FamilyName(kPackageName, host.Publisher())};
}

PackageExit Provision(PackageDeployment& deployment, PackageHost& host) {
  const Beside package = PackageBeside(host);
  if (!host.FileExists(package.file)) {
    host.SayFailure(u"no package: " + package.file + u" is missing");
    return PackageExit::kNoPackageFile;
  }
  const HResult staged = deployment.Stage(package.file, package.folder);
  if (Failed(staged)) {
    host.SayFailure(Failure(u"staging " + package.file + u" with the external location " + package.folder, staged));
    return PackageExit::kStageFailed;
  }
  const HResult provisioned = deployment.ProvisionForAllUsers(package.family);
  if (Failed(provisioned)) {
    host.SayFailure(Failure(u"staged; provisioning " + package.family + u" for all users", provisioned));
    return PackageExit::kProvisionFailed;
  }
  host.Say(u"provisioned " + package.family + u" for all users, with the external location " + package.folder +
           u": each user gets it at their next sign-in");
  return PackageExit::kDone;
}

PackageExit Remove(PackageDeployment& deployment, PackageHost& host) {
  const std::u16string family = PackageBeside(host).family;
  bool whole = true;
  const HResult deprovisioned = deployment.DeprovisionForAllUsers(family);
  if (Failed(deprovisioned) && deprovisioned != kPackageNotFound) {
    host.SayFailure(Failure(u"deprovisioning " + family, deprovisioned));
    whole = false;
  }
  std::vector<FamilyPackage> packages;
  const HResult asked = deployment.Packages(family, true, packages);
  if (Failed(asked)) {
    host.SayFailure(Failure(u"asking for the packages of " + family, asked));
    return PackageExit::kUnanswered;
  }
  for (const FamilyPackage& package : packages) {
    const HResult removed = deployment.Remove(package.fullName, true);
    if (Failed(removed) && removed != kPackageNotFound) {
      host.SayFailure(Failure(u"removing " + package.fullName + u" for all users", removed));
      whole = false;
    }
  }
  if (!whole) return PackageExit::kRemoveFailed;
  host.Say(u"deprovisioned " + family + u" and removed it for all users (packages removed: " + Number(packages.size()) +
           u")");
  return PackageExit::kDone;
}

bool SameFolder(std::u16string_view a, std::u16string_view b) { return EqualsFoldingAscii(a, b); }

PackageExit RegisterForUser(PackageDeployment& deployment, PackageHost& host) {
  if (host.MenuTurnedOff()) return PackageExit::kNothingToDo;  // the administrator's choice, at every sign-in
  const Beside package = PackageBeside(host);
  if (!host.FileExists(package.file)) {
    host.SayFailure(u"no package: " + package.file + u" is missing");
    return PackageExit::kNoPackageFile;
  }
  std::vector<FamilyPackage> packages;
  const HResult asked = deployment.Packages(package.family, false, packages);
  if (Failed(asked)) {
    host.SayFailure(Failure(u"asking for this user's packages of " + package.family, asked));
    return PackageExit::kUnanswered;
  }
  const std::u16string version = host.Version();
  const std::u16string record = version + u"|" + package.folder;
  const std::optional<std::u16string> last = host.UserRecord();
  const bool otherFolder = last && !SameFolder(last->substr(last->find(u'|') + 1), package.folder);
  const bool registered =
      std::any_of(packages.begin(), packages.end(), [&](const FamilyPackage& p) { return p.version == version; });
  if (registered && !otherFolder) {
    if (last != record) host.SetUserRecord(record);  // as Windows registered it from the provisioning
    return PackageExit::kDone;
  }
  for (const FamilyPackage& old : packages) {
    const HResult removed = deployment.Remove(old.fullName, false);
    if (Failed(removed)) host.SayFailure(Failure(u"removing " + old.fullName + u" for this user", removed));
  }
  const HResult added = deployment.AddForUser(package.file, package.folder);
  if (Failed(added)) {
    host.SayFailure(Failure(
        u"registering " + package.file + u" for this user with the external location " + package.folder, added));
    return PackageExit::kRegisterFailed;
  }
  host.SetUserRecord(record);
  host.Say(u"registered " + package.file + u" " + version + u" for this user with the external location " +
           package.folder);
  return PackageExit::kDone;
}

}  // namespace

PackageExit RunPackageStep(const std::vector<std::u16string>& arguments, PackageDeployment& deployment,
                           PackageHost& host) {
  if (arguments.size() != 1) return PackageExit::kUsage;
  const std::u16string& step = arguments[0];
  const bool known = step == u"/provision" || step == u"/remove" || step == u"/user";
  if (!known) return PackageExit::kUsage;
  if (host.WindowsBuild() < kWindows11Build) return PackageExit::kNothingToDo;  // Windows 10 shows no such menu
  if (step == u"/provision") return Provision(deployment, host);
  if (step == u"/remove") return Remove(deployment, host);
  return RegisterForUser(deployment, host);
}

}  // namespace torvo::package
