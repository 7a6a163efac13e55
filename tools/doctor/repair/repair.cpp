#include "tools/doctor/repair/repair.h"

#include <algorithm>

#include "registrar/scoped_key.h"
#include "registrar/script_walker.h"

namespace torvo::doctor {

namespace {

int Rank(RepairKind kind) {
  switch (kind) {
    case RepairKind::kRemoveKey:
      return 0;
    case RepairKind::kReinstall:
      return 1;
    case RepairKind::kRegister:
    case RepairKind::kRegisterPerUser:
      return 2;
    case RepairKind::kRegisterPackage:  // last: its class is the DLL's, which the others put in place
      return 4;
    default:
      return 3;
  }
}

std::int32_t WriteText(Registry& registry, const RegistryPlace& place, const std::u16string& text) {
  RegKey handle = 0;
  const std::int32_t created = registry.CreateKey(place.root, place.key.c_str(), kKeyReadWrite, &handle);
  if (created != 0) return created;
  const ScopedKey key(registry, handle);
  return registry.SetValue(key.Get(), place.value.value_or(u"").c_str(), kRegSz, text.c_str(),
                           static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t)));
}

HResult Run(const Repair& repair, RepairPlatform& platform) {
  switch (repair.kind) {
    case RepairKind::kRemoveKey: {
      const RegistryPlace& place = repair.places.front();
      const std::int32_t deleted = DeleteKeyTree(platform.Keys(), place.root, place.key.c_str());
      return deleted == kErrorFileNotFound ? kOk : HresultFromWin32(deleted);
    }
    case RepairKind::kWriteText:
      return HresultFromWin32(WriteText(platform.Keys(), repair.places.front(), repair.text));
    case RepairKind::kRegister:
    case RepairKind::kRegisterPerUser:
      return platform.RegisterDll(repair.text, repair.kind == RepairKind::kRegisterPerUser);
    default:
      return kUnexpected;
  }
}

}  // namespace

std::vector<Repair> PlanRepairs(const std::vector<Repair>& wanted) {
  std::vector<Repair> plan;
  for (const Repair& repair : wanted) {
    if (repair.Applies() && std::find(plan.begin(), plan.end(), repair) == plan.end()) plan.push_back(repair);
  }
  std::stable_sort(plan.begin(), plan.end(),
                   [](const Repair& a, const Repair& b) { return Rank(a.kind) < Rank(b.kind); });
  return plan;
}

namespace {

std::vector<RegistryPlace> EveryPlace(const Repair& repair) {
  std::vector<RegistryPlace> places = repair.places;
  places.insert(places.end(), repair.bestEffort.begin(), repair.bestEffort.end());
  return places;
}

// Puts back every snapshot of the run, the latest first: whether all of them came back.
bool Restore(Registry& registry, const std::vector<RegistrySnapshot>& taken) {
  bool restored = true;
  for (auto snapshot = taken.rbegin(); snapshot != taken.rend(); ++snapshot) {
    restored = snapshot->Restore(registry) == 0 && restored;
  }
  return restored;
}

// The outcome of one repair, its places saved into `taken` first.
// Repairs outside the registry's places: each succeeds or fails whole by itself.
bool SavesNoPlaces(RepairKind kind) { return kind == RepairKind::kReinstall || kind == RepairKind::kRegisterPackage; }

RepairOutcome ApplyOne(const Repair& repair, RepairPlatform& platform, std::vector<RegistrySnapshot>& taken) {
  if (SavesNoPlaces(repair.kind)) {  // Windows Installer rolls back a repair that fails by itself
    const std::uint32_t code = repair.kind == RepairKind::kReinstall ? platform.ReinstallProduct(repair.text)
                                                                     : platform.RegisterPackage(repair.text);
    if (code == 0 || (code == kErrorSuccessRebootRequired && repair.kind == RepairKind::kReinstall)) {
      return {RepairResult::kFixed, kOk, code == kErrorSuccessRebootRequired};
    }
    return {RepairResult::kFailed, HresultFromWin32(static_cast<std::int32_t>(code))};
  }
  taken.emplace_back();
  const std::int32_t saved = taken.back().Take(platform.Keys(), EveryPlace(repair));
  if (saved != 0) return {RepairResult::kFailed, HresultFromWin32(saved)};
  const HResult status = Run(repair, platform);
  if (Failed(status)) return {RepairResult::kFailed, status};
  return {RepairResult::kFixed, kOk, false, true, status == kFalse && repair.kind == RepairKind::kRegisterPerUser};
}

}  // namespace

std::vector<RepairOutcome> ApplyRepairs(const std::vector<Repair>& plan, RepairPlatform& platform) {
  std::vector<RepairOutcome> outcomes(plan.size());
  bool refused = false;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    for (const RegistryPlace& place : plan[i].places) {
      if (!MayWrite(platform.Keys(), place)) outcomes[i].result = RepairResult::kNeedsAdministrator;
    }
    refused = refused || outcomes[i].result == RepairResult::kNeedsAdministrator;
  }
  if (refused) return outcomes;
  std::vector<RegistrySnapshot> taken;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    outcomes[i] = ApplyOne(plan[i], platform, taken);
    if (outcomes[i].result == RepairResult::kFixed) continue;
    // The package is Windows 11's first menu alone: its failure (a sideloading policy, an untrusted
    // signer) keeps the fixes that bring the classic item back.
    if (plan[i].kind == RepairKind::kRegisterPackage) continue;
    outcomes[i].restored = Restore(platform.Keys(), taken);
    for (std::size_t before = 0; before < i; ++before) {
      if (!SavesNoPlaces(plan[before].kind)) outcomes[before].result = RepairResult::kUndone;
    }
    break;
  }
  return outcomes;
}

RepairOutcome ApplyRepair(const Repair& repair, RepairPlatform& platform) {
  return ApplyRepairs({repair}, platform)[0];
}

}  // namespace torvo::doctor
