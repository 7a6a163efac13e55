#pragma once
// The module file whose REGISTRY resources hold the scripts, and the thread's ANSI code page.
#include <windows.h>

#include "registrar/script_source.h"

namespace torvo::win32 {

class Win32ScriptSource : public ScriptSource {
 public:
  // `module` is the module's instance handle; null stands for the running executable.
  explicit Win32ScriptSource(HMODULE module) : module_(module) {}

  std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size) override;
  std::int32_t LastError() override;
  bool IsRunningExecutable() override;
  std::int32_t LoadResourceBytes(const char16_t* path, std::uint16_t number, const char16_t* type,
                                 std::vector<std::uint8_t>& bytes) override;
  int FromThreadAnsi(const std::uint8_t* bytes, int count, char16_t* out, int outUnits) override;

 private:
  HMODULE module_;
};

}  // namespace torvo::win32
