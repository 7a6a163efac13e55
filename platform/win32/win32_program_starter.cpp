#include "platform/win32/win32_program_starter.h"

#include <shellapi.h>

#include "platform/win32/wide.h"

namespace torvo::win32 {

std::uint32_t Win32ProgramStarter::GetOwnModulePath(char16_t* buffer, std::uint32_t size) {
  // A cut path gives `size` (and ERROR_INSUFFICIENT_BUFFER), as on Windows.
  return ::GetModuleFileNameW(module_, AsWide(buffer), size);
}

void Win32ProgramStarter::Start(const char16_t* file, const char16_t* parameters) {
  ::ShellExecuteW(nullptr, nullptr, AsWide(file), AsWide(parameters), nullptr, SW_SHOW);
}

}  // namespace torvo::win32
