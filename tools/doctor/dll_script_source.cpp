#include "tools/doctor/dll_script_source.h"

#include <algorithm>

namespace torvo::doctor {

std::uint32_t DllScriptSource::ModuleFileName(char16_t* buffer, std::uint32_t size) {
  if (size == 0) return 0;
  const std::size_t units = std::min<std::size_t>(path_.size(), size - 1);
  std::copy(path_.begin(), path_.begin() + static_cast<std::ptrdiff_t>(units), buffer);
  buffer[units] = u'\0';
  return path_.size() < size ? static_cast<std::uint32_t>(units) : size;
}

}  // namespace torvo::doctor
