#pragma once
// The selection as Windows 11's menu hands it to an Explorer command: an array of shell items.
#include <cstdint>
#include <optional>
#include <string>

#include "shellmenu/drop_files.h"

namespace torvo {

class ItemArray {
 public:
  virtual ~ItemArray() = default;

  // IShellItemArray::BindToHandler(BHID_DataObject) for IDataObject: the items as one data object,
  // whose drop-file list is read as Initialize reads it. Null when the array offers none. The
  // array owns what it returns.
  virtual DropFiles* DataObject() = 0;

  // IShellItemArray::GetCount: the number of items; 0 when the count cannot be read.
  virtual std::uint32_t Count() = 0;

  // IShellItemArray::GetItemAt, then IShellItem::GetDisplayName(SIGDN_FILESYSPATH): the item's
  // file-system path as the platform gives it, whatever its length; nothing when the item cannot be
  // had or has no such path (a virtual item: a library, a device, a file inside an archive).
  virtual std::optional<std::u16string> FileSystemPath(std::uint32_t index) = 0;
};

}  // namespace torvo
