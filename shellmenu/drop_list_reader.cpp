#include "shellmenu/drop_list_reader.h"

#include <algorithm>
#include <utility>

namespace torvo {

namespace {

inline constexpr std::size_t kFilesOffsetAt = 0;
inline constexpr std::size_t kWideFlagAt = 16;

// A little-endian 32-bit field of the header.
std::uint32_t HeaderField(std::span<const std::uint8_t> block, std::size_t at) {
  return static_cast<std::uint32_t>(block[at]) | static_cast<std::uint32_t>(block[at + 1]) << 8 |
         static_cast<std::uint32_t>(block[at + 2]) << 16 | static_cast<std::uint32_t>(block[at + 3]) << 24;
}

// Units before the first zero unit of `bytes`; all of its whole units when there is none.
std::pair<std::size_t, bool> UnitsBeforeZero(std::span<const std::uint8_t> bytes, bool wide) {
  if (!wide) {
    const auto zero = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return {static_cast<std::size_t>(zero - bytes.begin()), zero != bytes.end()};
  }
  const std::size_t units = bytes.size() / 2;  // a trailing odd byte is no unit
  for (std::size_t i = 0; i < units; ++i) {
    if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0) return {i, true};
  }
  return {units, false};
}

}  // namespace

std::optional<DropListReader> DropListReader::Open(std::span<const std::uint8_t> block) {
  if (block.size() < kDropFilesHeaderBytes) return std::nullopt;
  const std::uint32_t files = HeaderField(block, kFilesOffsetAt);
  if (files < kDropFilesHeaderBytes || files >= block.size()) return std::nullopt;
  return DropListReader(block, files, HeaderField(block, kWideFlagAt) != 0);
}

std::optional<DropListItem> DropListReader::Next() {
  const std::span<const std::uint8_t> rest = block_.subspan(offset_);
  const auto [units, ended] = UnitsBeforeZero(rest, wide_);
  if (units == 0 || !ended) offset_ = block_.size();  // the list ends here
  if (units == 0) return std::nullopt;
  if (ended) offset_ += (units + 1) * (wide_ ? 2 : 1);
  return DropListItem{rest.data(), units, ended};
}

}  // namespace torvo
