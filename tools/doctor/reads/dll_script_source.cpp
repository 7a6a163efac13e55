#include "tools/doctor/reads/dll_script_source.h"

#include <algorithm>

#include "platform/win32/wide.h"

namespace torvo::doctor {

std::uint32_t DllScriptSource::ModuleFileName(char16_t* buffer, std::uint32_t size) {
  if (size == 0) return 0;
  const std::size_t units = std::min<std::size_t>(module_.size(), size - 1);
  std::copy(module_.begin(), module_.begin() + static_cast<std::ptrdiff_t>(units), buffer);
  buffer[units] = u'\0';
  return module_.size() < size ? static_cast<std::uint32_t>(units) : size;
}

std::int32_t DllScriptSource::LoadResourceBytes(const char16_t*, std::uint16_t number, const char16_t* type,
                                                std::vector<std::uint8_t>& bytes) {
  return Win32ScriptSource::LoadResourceBytes(win32::AsUtf16(scripts_.c_str()), number, type, bytes);
}

}  // namespace torvo::doctor
