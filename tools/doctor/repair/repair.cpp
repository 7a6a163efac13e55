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

RepairOutcome ApplyRepair(const Repair& repair, RepairPlatform& platform) {
  Registry& registry = platform.Keys();
  for (const RegistryPlace& place : repair.places) {
    if (!MayWrite(registry, place)) return {RepairResult::kNeedsAdministrator};
  }
  // Windows Installer rolls back a repair that fails by itself.
  if (repair.kind == RepairKind::kReinstall) {
    const std::uint32_t code = platform.ReinstallProduct(repair.text);
    if (code == 0 || code == kErrorSuccessRebootRequired) {
      return {RepairResult::kFixed, kOk, code == kErrorSuccessRebootRequired};
    }
    return {RepairResult::kFailed, HresultFromWin32(static_cast<std::int32_t>(code))};
  }
  RegistrySnapshot snapshot;
  const std::int32_t taken = snapshot.Take(registry, repair.places);
  if (taken != 0) return {RepairResult::kFailed, HresultFromWin32(taken)};
  const HResult status = Run(repair, platform);
  if (Succeeded(status)) return {RepairResult::kFixed};
  return {RepairResult::kFailed, status, false, snapshot.Restore(registry) == 0};
}

}  // namespace torvo::doctor
