#include "platform/win32/win32_drop_files.h"

#include <shellapi.h>

#include "platform/win32/wide.h"

namespace torvo::win32 {

HResult Win32DropFiles::GetData() {
  FORMATETC request{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  return dataObject_->GetData(&request, &medium_);
}

bool Win32DropFiles::Lock() {
  drop_ = static_cast<HDROP>(::GlobalLock(medium_.hGlobal));
  return drop_ != nullptr;
}

void Win32DropFiles::Unlock() {
  ::GlobalUnlock(medium_.hGlobal);
  drop_ = nullptr;
}

void Win32DropFiles::ReleaseMedium() { ::ReleaseStgMedium(&medium_); }

std::uint32_t Win32DropFiles::QueryFile(std::uint32_t index, char16_t* buffer, std::uint32_t size) {
  return ::DragQueryFileW(drop_, index, AsWide(buffer), size);
}

}  // namespace torvo::win32
