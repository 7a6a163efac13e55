#pragma once
// The shell's item array (IShellItemArray) as the Explorer command receives it.
#include <windows.h>
#include <shobjidl.h>

#include "shellmenu/item_array.h"

namespace torvo::win32 {

class Win32ItemArray : public ItemArray {
 public:
  // `items` may be null: an array without items.
  explicit Win32ItemArray(IShellItemArray* items) : items_(items) {}

  std::uint32_t Count() override;
  std::optional<std::u16string> FileSystemPath(std::uint32_t index) override;

 private:
  IShellItemArray* items_;
};

}  // namespace torvo::win32
