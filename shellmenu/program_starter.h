#pragma once
// The DLL's own location and the start of another program.
#include <cstdint>

namespace torvo {

class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;

  // GetModuleFileNameW on the DLL's own module handle into `size` units: the length written,
  // 0 on failure, `size` when the path was cut.
  virtual std::uint32_t GetOwnModulePath(char16_t* buffer, std::uint32_t size) = 0;

  // ShellExecuteW(no owner, no verb, file, parameters, no directory, SW_SHOW); the result is not
  // looked at and the program is not waited for.
  virtual void Start(const char16_t* file, const char16_t* parameters) = 0;
};

}  // namespace torvo
