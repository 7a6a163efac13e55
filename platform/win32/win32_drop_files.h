#pragma once
// The drop-file list of a shell data object.
#include <windows.h>
#include <objidl.h>

#include "shellmenu/drop_files.h"

namespace torvo::win32 {

class Win32DropFiles : public DropFiles {
 public:
  explicit Win32DropFiles(IDataObject* dataObject) : dataObject_(dataObject) {}
  Win32DropFiles(const Win32DropFiles&) = delete;
  Win32DropFiles& operator=(const Win32DropFiles&) = delete;

  HResult GetData() override;
  bool Lock() override;
  void Unlock() override;
  void ReleaseMedium() override;
  std::uint32_t QueryFile(std::uint32_t index, char16_t* buffer, std::uint32_t size) override;

 private:
  IDataObject* dataObject_;
  STGMEDIUM medium_{TYMED_HGLOBAL, {nullptr}, nullptr};
  HDROP drop_ = nullptr;
};

}  // namespace torvo::win32
