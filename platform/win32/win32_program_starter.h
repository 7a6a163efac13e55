#pragma once
// The module's own path and the start of a program, outside the caller's package or through the
// shell.
#include <windows.h>

#include "shellmenu/program_starter.h"

namespace torvo::win32 {

class Win32ProgramStarter : public ProgramStarter {
 public:
  // `module` is the module whose folder programs are started from: the DLL's own instance handle,
  // or null for the running program.
  explicit Win32ProgramStarter(HMODULE module) : module_(module) {}

  std::uint32_t GetOwnModulePath(char16_t* buffer, std::uint32_t size) override;
  StartOutcome StartOutsidePackage(const char16_t* file, const char16_t* commandLine) override;
  bool Start(const char16_t* file, const char16_t* parameters) override;
  bool Exists(const char16_t* file) override;

 private:
  HMODULE module_;
};

}  // namespace torvo::win32
