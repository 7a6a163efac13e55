#include "tests/fakes/fake_script_source.h"

#include <algorithm>

namespace torvo::fakes {

// GetModuleFileNameW on Vista and later: a path that does not fit is cut to size - 1 units and
// terminated, and the answer is `size` with ERROR_INSUFFICIENT_BUFFER.
std::uint32_t FakeScriptSource::ModuleFileName(char16_t* buffer, std::uint32_t size) {
  if (moduleFileNameError != 0) {
    lastError_ = moduleFileNameError;
    return 0;
  }
  if (size == 0) return 0;
  const std::size_t copied = std::min<std::size_t>(modulePath.size(), size - 1);
  std::copy_n(modulePath.c_str(), copied, buffer);
  buffer[copied] = u'\0';
  if (modulePath.size() >= size) {
    lastError_ = kErrorInsufficientBuffer;
    return size;
  }
  return static_cast<std::uint32_t>(copied);
}

std::int32_t FakeScriptSource::LoadResourceBytes(const char16_t* path, std::uint16_t number, const char16_t* type,
                                                 std::vector<std::uint8_t>& bytes) {
  loadedPaths.emplace_back(path);
  if (mapError != 0) return mapError;
  if (std::u16string_view(type) != u"REGISTRY") return kErrorResourceTypeNotFound;
  const auto resource = registryResources.find(number);
  if (resource == registryResources.end()) return kErrorResourceNameNotFound;
  bytes.assign(resource->second.begin(), resource->second.end());
  return 0;
}

int FakeScriptSource::FromThreadAnsi(const std::uint8_t* bytes, int count, char16_t* out, int outUnits) {
  if (conversionError != 0) {
    lastError_ = conversionError;
    return 0;
  }
  if (count <= 0) {
    lastError_ = kErrorInvalidParameter;
    return 0;
  }
  if (outUnits < count) {
    lastError_ = kErrorInsufficientBuffer;
    return 0;
  }
  std::transform(bytes, bytes + count, out, [](std::uint8_t byte) { return static_cast<char16_t>(byte); });
  return count;
}

}  // namespace torvo::fakes
