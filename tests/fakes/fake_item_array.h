#pragma once
// An item array in memory: each item's file-system path, or none for an item without one; and, when
// asked for, the items as one data object.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shellmenu/item_array.h"
#include "tests/fakes/fake_drop_files.h"

namespace torvo::fakes {

// What the array answers BindToHandler(BHID_DataObject) with.
enum class DataObjectOffer {
  kNone,        // no data object (Wine's own arrays)
  kDropList,    // a data object whose drop-file list holds the items that have a path
  kNoDropList,  // a data object without a drop-file list
};

class FakeItemArray : public ItemArray {
 public:
  explicit FakeItemArray(std::vector<std::optional<std::u16string>> items,
                         DataObjectOffer offer = DataObjectOffer::kNone)
      : items_(std::move(items)) {
    if (offer == DataObjectOffer::kNone) return;
    std::vector<std::u16string> paths;
    for (const std::optional<std::u16string>& item : items_) {
      if (item) paths.push_back(*item);
    }
    dataObject_.emplace(std::move(paths));
    dataObject_->hasList = offer == DataObjectOffer::kDropList;
  }

  DropFiles* DataObject() override { return dataObject_ ? &*dataObject_ : nullptr; }
  std::uint32_t Count() override { return static_cast<std::uint32_t>(items_.size()); }
  std::optional<std::u16string> FileSystemPath(std::uint32_t index) override {
    ++pathReads;
    return index < items_.size() ? items_[index] : std::nullopt;
  }

  int pathReads = 0;  // paths asked for one by one

 private:
  std::vector<std::optional<std::u16string>> items_;
  std::optional<FakeDropFiles> dataObject_;
};

}  // namespace torvo::fakes
