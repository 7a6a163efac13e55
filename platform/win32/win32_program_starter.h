#pragma once
// The DLL's own path and the start of a program through the shell.
#include <windows.h>

#include "shellmenu/program_starter.h"

namespace torvo::win32 {

class Win32ProgramStarter : public ProgramStarter {
 public:
  // `module` is the DLL whose folder the agent is started from (its own instance handle).
  explicit Win32ProgramStarter(HMODULE module) : module_(module) {}

  std::uint32_t GetOwnModulePath(char16_t* buffer, std::uint32_t size) override;
  void Start(const char16_t* file, const char16_t* parameters) override;

 private:
  HMODULE module_;
};

}  // namespace torvo::win32
