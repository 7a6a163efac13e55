#pragma once
// The same drop-file block read two ways: item by item through the platform's DragQueryFileW, and
// in one pass by the handler's capture through the real adapter.
#include <cstdint>
#include <string>
#include <vector>

namespace torvo::wine {

// The items DragQueryFileW delivers whole into a buffer of 260 units, in order.
std::vector<std::wstring> DeliveredByThePlatform(const std::vector<std::uint8_t>& block);

// The Selection list that Initialize's capture keeps for the block (empty when it refuses it).
std::vector<std::wstring> CapturedByTheHandler(const std::vector<std::uint8_t>& block);

}  // namespace torvo::wine
