#include "tests/fakes/fake_drop_files.h"

#include "tests/fakes/drop_block.h"

namespace torvo::fakes {

FakeDropFiles::FakeDropFiles(std::vector<std::u16string> paths) : block_(WideDropBlock(paths)) {}

std::optional<std::span<const std::uint8_t>> FakeDropFiles::LockDropList() {
  if (!hasList) return std::nullopt;
  return std::span<const std::uint8_t>(block_);
}

std::uint32_t FakeDropFiles::AnsiToUtf16(const char* bytes, std::uint32_t count, char16_t* out,
                                         std::uint32_t outUnits) {
  if (count > outUnits) return 0;  // like MultiByteToWideChar: a result that does not fit fails
  for (std::uint32_t i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return count;
}

}  // namespace torvo::fakes
