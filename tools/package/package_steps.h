#pragma once
// torvo-package.exe's work, portable: Windows 11's sparse package (TorvoShellMenu.msix beside the
// program, with the program's folder as its external location) staged and provisioned for every
// user by the installer, registered for each user at sign-in, removed for all by the installer's
// removal. Windows' PackageManager and the machine come in through the two interfaces below.
//
//   torvo-package.exe /provision   the installer, as SYSTEM: stage, then provision the family for all
//                                  users (Windows registers it for each at sign-in)
//   torvo-package.exe /remove      the installer's removal, as SYSTEM: deprovision the family, remove
//                                  its packages for all users
//   torvo-package.exe /user        each user's sign-in (Active Setup): register the package for this
//                                  user when it is missing, of another version or for another folder;
//                                  nothing when the administrator turned the menu off
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"

namespace torvo::package {

inline constexpr char16_t kPackageName[] = u"ZebTorvo.TorvoShellMenu";
inline constexpr char16_t kPackageFile[] = u"TorvoShellMenu.msix";
inline constexpr std::uint32_t kWindows11Build = 22000;

// One package of the family: its full name and version ("1.3.0.1001").
struct FamilyPackage {
  std::u16string fullName;
  std::u16string version;
};

// Windows' PackageManager. Each call waits for its operation and gives its result.
class PackageDeployment {
 public:
  virtual ~PackageDeployment() = default;
  virtual HResult Stage(const std::u16string& packageFile, const std::u16string& externalFolder) = 0;
  virtual HResult ProvisionForAllUsers(const std::u16string& family) = 0;
  virtual HResult DeprovisionForAllUsers(const std::u16string& family) = 0;
  virtual HResult AddForUser(const std::u16string& packageFile, const std::u16string& externalFolder) = 0;
  // The family's packages, this user's or every user's; a failure when they cannot be asked.
  virtual HResult Packages(const std::u16string& family, bool allUsers, std::vector<FamilyPackage>& packages) = 0;
  virtual HResult Remove(const std::u16string& fullName, bool allUsers) = 0;
};

// The machine, the user and what the program says.
class PackageHost {
 public:
  virtual ~PackageHost() = default;
  virtual std::uint32_t WindowsBuild() = 0;
  virtual std::u16string ProgramFolder() = 0;  // with its trailing backslash
  virtual std::u16string Publisher() = 0;      // the package's, as the DLL's signer names it
  virtual std::u16string Version() = 0;        // the program's own, "1.3.0.1001"
  virtual bool FileExists(const std::u16string& path) = 0;
  // The administrator's choice the installer remembered: WINDOWS11_MENU=0 turns the menu off.
  virtual bool MenuTurnedOff() = 0;
  // What the sign-in step last registered for this user ("version|folder"), kept in the user's hive.
  virtual std::optional<std::u16string> UserRecord() = 0;
  virtual void SetUserRecord(const std::u16string& record) = 0;
  // One line of what happened, on standard output.
  virtual void Say(const std::u16string& line) = 0;
  // One line of what failed: said, and for the sign-in step kept in the user's log as well.
  virtual void SayFailure(const std::u16string& line) = 0;
};

// The exit codes, which msiexec's log shows for the installer's steps.
enum class PackageExit : int {
  kDone = 0,
  kUsage = 1,            // no step, or an unknown one
  kNothingToDo = 2,      // before Windows 11, or the administrator turned the menu off
  kNoPackageFile = 3,    // TorvoShellMenu.msix is not beside the program
  kStageFailed = 4,      // Windows refused to stage the package (the line says why)
  kProvisionFailed = 5,  // staged, but not provisioned for all users
  kRemoveFailed = 6,     // a package or the provisioning stayed
  kRegisterFailed = 7,   // the user's registration was refused
  kUnanswered = 8,       // Windows' PackageManager could not be asked
};

// Runs the step its one argument names.
PackageExit RunPackageStep(const std::vector<std::u16string>& arguments, PackageDeployment& deployment,
                           PackageHost& host);

}  // namespace torvo::package
