#include "platform/win32/win32_drop_files.h"

#include "platform/win32/wide.h"

namespace torvo::win32 {

std::optional<std::span<const std::uint8_t>> Win32DropFiles::LockDropList() {
  lock_.reset();
  FORMATETC request{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM* medium = medium_.Put();
  *medium = STGMEDIUM{TYMED_HGLOBAL, {nullptr}, nullptr};
  if (FAILED(dataObject_->GetData(&request, medium))) {
    *medium = STGMEDIUM{TYMED_NULL, {nullptr}, nullptr};  // nothing was handed over
    return std::nullopt;
  }
  // Any other medium (a stream, a file name) is no memory block to read: released, refused.
  if (medium->tymed != TYMED_HGLOBAL) {
    medium_.Reset();
    return std::nullopt;
  }
  lock_.emplace(medium->hGlobal);
  if (lock_->Data() == nullptr) return std::nullopt;
  return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(lock_->Data()), lock_->Size());
}

std::uint32_t Win32DropFiles::AnsiToUtf16(const char* bytes, std::uint32_t count, char16_t* out,
                                          std::uint32_t outUnits) {
  const int units =
      ::MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(count), AsWide(out), static_cast<int>(outUnits));
  return units > 0 ? static_cast<std::uint32_t>(units) : 0;
}

}  // namespace torvo::win32
