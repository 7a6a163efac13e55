#pragma once
// An item array in memory: each item's file-system path, or none for an item without one.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shellmenu/item_array.h"

namespace torvo::fakes {

class FakeItemArray : public ItemArray {
 public:
  explicit FakeItemArray(std::vector<std::optional<std::u16string>> items) : items_(std::move(items)) {}

  std::uint32_t Count() override { return static_cast<std::uint32_t>(items_.size()); }
  std::optional<std::u16string> FileSystemPath(std::uint32_t index) override {
    ++pathReads;
    return index < items_.size() ? items_[index] : std::nullopt;
  }

  int pathReads = 0;  // paths asked for

 private:
  std::vector<std::optional<std::u16string>> items_;
};

}  // namespace torvo::fakes
