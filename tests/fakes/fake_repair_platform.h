#pragma once
// What a repair of torvo-doctor needs, in memory: the registry, a DLL whose registration runs a
// step the test gives, and an installer that answers the code the test gives.
#include <functional>
#include <string>
#include <vector>

#include "tests/fakes/memory_registry.h"
#include "tools/doctor/repair/repair.h"

namespace torvo::fakes {

class FakeRepairPlatform : public doctor::RepairPlatform {
 public:
  Registry& Keys() override { return registry; }
  HResult RegisterDll(const std::u16string& path, bool perUser) override {
    registered.push_back(path);
    return registration ? registration(registry, perUser) : kOk;
  }
  std::uint32_t ReinstallProduct(const std::u16string& productCode) override {
    reinstalled.push_back(productCode);
    return reinstallAnswer;
  }
  std::uint32_t RegisterPackage(const std::u16string& packageFile) override {
    packagesRegistered.push_back(packageFile);
    return packageAnswer;
  }

  MemoryRegistry registry;
  std::function<HResult(MemoryRegistry&, bool perUser)> registration;  // none: succeeds, writes nothing
  std::uint32_t reinstallAnswer = 0;
  std::uint32_t packageAnswer = 0;
  std::vector<std::u16string> registered;   // the DLLs asked to register
  std::vector<std::u16string> reinstalled;  // the products asked to reinstall
  std::vector<std::u16string> packagesRegistered;
};

}  // namespace torvo::fakes
