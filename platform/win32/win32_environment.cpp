#include "platform/win32/win32_environment.h"

#include <windows.h>

#include <cwctype>

#include "platform/win32/wide.h"

namespace torvo::win32 {

std::uint32_t Win32Environment::ExpandVariables(const char16_t* source, char16_t* buffer,
                                                         std::uint32_t size) const {
  return ::ExpandEnvironmentStringsW(AsWide(source), AsWide(buffer), size);
}

bool Win32Environment::IsSpace(char16_t unit) const { return std::iswspace(unit) != 0; }

}  // namespace torvo::win32
