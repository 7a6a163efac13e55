#include "platform/win32/win32_environment.h"

#include <windows.h>

#include <cwctype>

#include "platform/win32/wide.h"

namespace torvo::win32 {

std::optional<std::u16string> Win32Environment::ExpandVariables(const char16_t* source) const {
  // The size asked first; the environment may change between the two calls, so a second answer
  // that does not fit is asked for once more.
  std::u16string expanded;
  DWORD units = ::ExpandEnvironmentStringsW(AsWide(source), nullptr, 0);
  for (int attempt = 0; attempt < 2 && units != 0; ++attempt) {
    expanded.resize(units);
    units = ::ExpandEnvironmentStringsW(AsWide(source), AsWide(expanded.data()), units);
    if (units != 0 && units <= expanded.size()) {
      expanded.resize(units - 1);  // the terminator
      return expanded;
    }
  }
  return std::nullopt;
}

bool Win32Environment::IsSpace(char16_t unit) const { return std::iswspace(unit) != 0; }

bool Win32Environment::EqualIgnoringCase(std::u16string_view a, std::u16string_view b) const {
  return ::CompareStringOrdinal(AsWide(a.data()), static_cast<int>(a.size()), AsWide(b.data()),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace torvo::win32
