#pragma once
// The drop-file list of a shell data object, locked for the owner's lifetime.
#include <windows.h>
#include <objidl.h>

#include <optional>

#include "platform/win32/storage_medium.h"
#include "shellmenu/drop_files.h"

namespace torvo::win32 {

class Win32DropFiles : public DropFiles {
 public:
  explicit Win32DropFiles(IDataObject* dataObject) : dataObject_(dataObject) {}
  Win32DropFiles(const Win32DropFiles&) = delete;
  Win32DropFiles& operator=(const Win32DropFiles&) = delete;

  std::optional<std::span<const std::uint8_t>> LockDropList() override;
  std::uint32_t AnsiToUtf16(const char* bytes, std::uint32_t count, char16_t* out, std::uint32_t outUnits) override;

 private:
  IDataObject* dataObject_;
  // Declared in this order so that the block is unlocked before the medium is released.
  UniqueStgMedium medium_;
  std::optional<GlobalLockView> lock_;
};

}  // namespace torvo::win32
