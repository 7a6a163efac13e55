#pragma once
// Owners of what a data object hands out: the storage medium and the lock on its memory block.
#include <windows.h>
#include <objidl.h>

namespace torvo::win32 {

// A medium filled by IDataObject::GetData; released with ReleaseStgMedium exactly once.
class UniqueStgMedium {
 public:
  UniqueStgMedium() = default;
  UniqueStgMedium(const UniqueStgMedium&) = delete;
  UniqueStgMedium& operator=(const UniqueStgMedium&) = delete;
  ~UniqueStgMedium() { Reset(); }

  // The medium for GetData to fill; releases what is held first.
  STGMEDIUM* Put() {
    Reset();
    return &medium_;
  }
  const STGMEDIUM& Get() const { return medium_; }
  void Reset() {
    if (medium_.tymed != TYMED_NULL) ::ReleaseStgMedium(&medium_);
    medium_ = STGMEDIUM{TYMED_NULL, {nullptr}, nullptr};
  }

 private:
  STGMEDIUM medium_{TYMED_NULL, {nullptr}, nullptr};
};

// GlobalLock for the owner's lifetime; Data() is null when the block could not be locked.
class GlobalLockView {
 public:
  explicit GlobalLockView(HGLOBAL block) : block_(block), data_(::GlobalLock(block)) {}
  GlobalLockView(const GlobalLockView&) = delete;
  GlobalLockView& operator=(const GlobalLockView&) = delete;
  ~GlobalLockView() {
    if (data_ != nullptr) ::GlobalUnlock(block_);
  }

  const void* Data() const { return data_; }
  // GlobalSize of the block: its size in bytes, 0 on failure.
  SIZE_T Size() const { return ::GlobalSize(block_); }

 private:
  HGLOBAL block_;
  void* data_;
};

}  // namespace torvo::win32
