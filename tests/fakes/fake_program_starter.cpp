#include "tests/fakes/fake_program_starter.h"

#include <algorithm>
#include <string>
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

bool FakeProgramStarter::IsMissing(const char16_t* file) const {
  return std::find(missingFiles.begin(), missingFiles.end(), file) != missingFiles.end();
}

StartOutcome FakeProgramStarter::StartOutsidePackage(const char16_t* file, const char16_t* commandLine) {
  breakawayCommandLines.emplace_back(commandLine);
  if (needsElevation) return StartOutcome::kNeedsElevation;
  if (breakawayRefused || IsMissing(file)) return StartOutcome::kNotStarted;
  Note("start");
  if (startThrowsBadAlloc) throw std::bad_alloc();
  // CreateProcessW's program reads its arguments after its own path; a command line of another
  // shape shows as such.
  const std::u16string line(commandLine), quoted = u"\"" + std::u16string(file) + u"\" ";
  starts.push_back({file, line.starts_with(quoted) ? line.substr(quoted.size()) : u"<not the program's path>", true});
  return StartOutcome::kStarted;
}

bool FakeProgramStarter::Start(const char16_t* file, const char16_t* parameters) {
  if (IsMissing(file)) {
    cannotFindMessages.emplace_back(file);
    return false;
  }
  Note("start");
  if (startThrowsBadAlloc) throw std::bad_alloc();
  starts.push_back({file, parameters, false});
  return true;
}

}  // namespace torvo::fakes
