#pragma once
// Drop-file (CF_HDROP) blocks laid out as the shell lays them out: the 20-byte DROPFILES header,
// then the items, each ended by a zero character, then an empty item.
#include <cstdint>
#include <string>
#include <vector>

namespace torvo::fakes {

inline void PutHeaderField(std::vector<std::uint8_t>& block, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) block[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A header with pFiles 20 and the given fWide; the items follow it.
inline std::vector<std::uint8_t> DropHeader(bool wide) {
  std::vector<std::uint8_t> block(20, 0);
  PutHeaderField(block, 0, 20);
  PutHeaderField(block, 16, wide ? 1 : 0);
  return block;
}

inline std::vector<std::uint8_t> WideDropBlock(const std::vector<std::u16string>& items) {
  std::vector<std::uint8_t> block = DropHeader(true);
  const auto put = [&block](char16_t unit) {
    block.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    block.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (const std::u16string& item : items) {
    for (char16_t unit : item) put(unit);
    put(0);
  }
  put(0);
  return block;
}

inline std::vector<std::uint8_t> AnsiDropBlock(const std::vector<std::string>& items) {
  std::vector<std::uint8_t> block = DropHeader(false);
  for (const std::string& item : items) {
    block.insert(block.end(), item.begin(), item.end());
    block.push_back(0);
  }
  block.push_back(0);
  return block;
}

}  // namespace torvo::fakes
