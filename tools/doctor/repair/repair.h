#pragma once
// What torvo-doctor --fix does about a problem: the repairs of this product's own registration,
// planned once for all findings and each applied whole or not at all.
#include <cstdint>
#include <string>
#include <vector>

#include "common/status.h"
#include "registrar/registry.h"
#include "tools/doctor/repair/registry_snapshot.h"

namespace torvo::doctor {

enum class RepairKind {
  kByHand,           // --fix cannot do it (a file to install, ...): the finding's fix says what to do
  kAdministrators,   // a policy or a Blocked entry: an administrator's decision, never changed
  kRemoveKey,        // places[0], a key, is deleted with everything below it
  kWriteText,        // places[0], a value, is set to `text` as REG_SZ
  kRegister,         // the DLL at `text` registers itself for every user (DllRegisterServer)
  kRegisterPerUser,  // the DLL at `text` registers itself for this user (DllInstall(TRUE, "user"))
  kReinstall,        // the installer repairs the product `text`: its files and machine registry rows
  kRegisterPackage,  // Windows 11's package file `text` is registered for this user, its folder the
                     // external location
};

struct Repair {
  RepairKind kind = RepairKind::kByHand;
  std::u16string text;                // the value's data, the DLL's path or the product code
  std::vector<RegistryPlace> places;  // what it changes: each must be writable first, and is
                                      // restored when the repair fails
  // What it changes where this user may (a per-user registration's machine-wide approval, the
  // type library's machine keys that Wine writes for a user): restored too, never required.
  std::vector<RegistryPlace> bestEffort = {};

  // Whether --fix applies it.
  bool Applies() const { return kind != RepairKind::kByHand && kind != RepairKind::kAdministrators; }
  bool operator==(const Repair&) const = default;
};

// What a repair needs of the platform beyond the registry.
class RepairPlatform {
 public:
  virtual Registry& Keys() = 0;
  // Loads the DLL and runs its DllRegisterServer, or DllInstall(TRUE, "user"): its result (kFalse:
  // the user's registration is written, the machine-wide approval was refused), or the loading's
  // failure.
  virtual HResult RegisterDll(const std::u16string& path, bool perUser) = 0;
  // MsiReinstallProduct of the product, all files and the machine's registry rows, without UI: a
  // Win32 code (3010: done once Windows restarts).
  virtual std::uint32_t ReinstallProduct(const std::u16string& productCode) = 0;
  // Registers the package file for this user: 0, or what failed (powershell.exe's exit code, ...).
  virtual std::uint32_t RegisterPackage(const std::u16string& packageFile) = 0;

 protected:
  ~RepairPlatform() = default;
};

enum class RepairResult {
  kFixed,
  kNeedsAdministrator,  // a place it changes may not be written by this user: nothing was changed
  kFailed,              // it failed; the places of every repair of the run were put back
  kUndone,              // it was applied, then put back because a later repair of the run failed
  kNotApplied,          // another repair of the run needs an administrator or failed before it
};

struct RepairOutcome {
  RepairResult result = RepairResult::kNotApplied;
  HResult status = kOk;          // kFailed: why
  bool restartWindows = false;   // kFixed: the installer finishes when Windows restarts
  bool restored = true;          // kFailed: every place was put back
  bool approvalRefused = false;  // kFixed: the user's registration, without the machine's approval
};

inline constexpr std::uint32_t kErrorSuccessRebootRequired = 3010;

// The repairs that --fix applies, each once, in the order they must run: removals of the user's
// keys first (they uncover the machine's registration), then the installer's repair and the
// registrations, then single values, which a registration may already have written.
std::vector<Repair> PlanRepairs(const std::vector<Repair>& wanted);

// Applies the plan whole or not at all: nothing when a place one of its repairs requires may not be
// written; every place of the run put back when a repair fails. One outcome per repair, in order.
// The installer's own repair rolls itself back when it fails, but is not undone by a later failure;
// nor is the package's registration, which changes no place of the registry's that the doctor saves,
// and whose own failure undoes nothing: it serves Windows 11's first menu alone.
std::vector<RepairOutcome> ApplyRepairs(const std::vector<Repair>& plan, RepairPlatform& platform);

// A plan of one repair.
RepairOutcome ApplyRepair(const Repair& repair, RepairPlatform& platform);

}  // namespace torvo::doctor
