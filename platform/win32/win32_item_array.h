#pragma once
// The shell's item array (IShellItemArray) as the Explorer command receives it.
#include <windows.h>
#include <shobjidl.h>

#include <optional>

#include "platform/win32/com_ptr.h"
#include "platform/win32/win32_drop_files.h"
#include "shellmenu/item_array.h"

namespace torvo::win32 {

class Win32ItemArray : public ItemArray {
 public:
  // `items` may be null: an array without items.
  explicit Win32ItemArray(IShellItemArray* items) : items_(items) {}
  Win32ItemArray(const Win32ItemArray&) = delete;
  Win32ItemArray& operator=(const Win32ItemArray&) = delete;

  DropFiles* DataObject() override;
  std::uint32_t Count() override;
  std::optional<std::u16string> FileSystemPath(std::uint32_t index) override;

 private:
  IShellItemArray* items_;
  // Declared in this order so that the drop-file list is released before its data object.
  ComPtr<IDataObject> dataObject_;
  std::optional<Win32DropFiles> dropFiles_;
};

}  // namespace torvo::win32
