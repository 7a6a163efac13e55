#pragma once
// A DLL's registry scripts as its own registration reads them, for a DLL named by its path
// instead of loaded: resources mapped as data, the thread's ANSI code page, a path as %MODULE%.
#include <string>

#include "platform/win32/win32_script_source.h"

namespace torvo::doctor {

class DllScriptSource : public win32::Win32ScriptSource {
 public:
  // The scripts of the DLL at `scripts`, as registering the file at `module` would apply them.
  DllScriptSource(std::wstring scripts, std::wstring module)
      : Win32ScriptSource(nullptr), scripts_(std::move(scripts)), module_(std::move(module)) {}

  // As GetModuleFileNameW answers for the loaded DLL: the path cut to size - 1 units when it does
  // not fit, and then `size`.
  std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size) override;
  // A DLL is never the running program.
  bool IsRunningExecutable() override { return false; }
  // From the scripts' file, whichever module path the engine asks with.
  std::int32_t LoadResourceBytes(const char16_t* path, std::uint16_t number, const char16_t* type,
                                 std::vector<std::uint8_t>& bytes) override;

 private:
  std::wstring scripts_;
  std::wstring module_;
};

}  // namespace torvo::doctor
