#pragma once
// A module file in memory: its path, whether it is the running executable, and its REGISTRY
// resources, with the failures the platform can report.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "registrar/script_source.h"

namespace torvo::fakes {

class FakeScriptSource : public ScriptSource {
 public:
  std::u16string modulePath = u"C:\\Program Files\\ZebTorvo\\TorvoShellMenu.dll";
  bool runningExecutable = false;
  std::int32_t moduleFileNameError = 0;                    // nonzero: GetModuleFileNameW fails with it
  std::int32_t mapError = 0;                               // nonzero: the module file cannot be mapped
  std::int32_t conversionError = 0;                        // nonzero: the conversion fails with it
  std::map<std::uint16_t, std::string> registryResources;  // REGISTRY resources by number

  std::vector<std::u16string> loadedPaths;  // the module paths resources were loaded from

  std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size) override;
  std::int32_t LastError() override { return lastError_; }
  bool IsRunningExecutable() override { return runningExecutable; }
  std::int32_t LoadResourceBytes(const char16_t* path, std::uint16_t number, const char16_t* type,
                                 std::vector<std::uint8_t>& bytes) override;
  // Each byte becomes the code unit of the same number (the scripts are ASCII).
  int FromThreadAnsi(const std::uint8_t* bytes, int count, char16_t* out, int outUnits) override;

 private:
  std::int32_t lastError_ = 0;
};

}  // namespace torvo::fakes
