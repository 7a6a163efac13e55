#include "tests/fakes/fake_program_starter.h"

#include <algorithm>
#include <new>

namespace torvo::fakes {

std::uint32_t FakeProgramStarter::GetOwnModulePath(char16_t* buffer, std::uint32_t size) {
  Note("module path");
  modulePathSizes.push_back(size);
  if (modulePathFails || size == 0) return 0;
  // GetModuleFileNameW: a path that does not fit is cut to size - 1 units and a zero, and the
  // result is the size itself.
  const std::size_t units = std::min<std::size_t>(modulePath.size(), size - 1);
  std::copy_n(modulePath.begin(), units, buffer);
  buffer[units] = u'\0';
  return modulePath.size() < size ? static_cast<std::uint32_t>(units) : size;
}

void FakeProgramStarter::Start(const char16_t* file, const char16_t* parameters) {
  Note("start");
  if (startThrowsBadAlloc) throw std::bad_alloc();
  starts.push_back({file, parameters});
}

}  // namespace torvo::fakes
