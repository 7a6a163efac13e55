#pragma once
// The selection as the shell hands it over: a data object holding a drop-file (CF_HDROP) list.
#include <cstdint>

#include "common/status.h"

namespace torvo {

class DropFiles {
 public:
  virtual ~DropFiles() = default;

  // IDataObject::GetData with {CF_HDROP, null, DVASPECT_CONTENT, -1, TYMED_HGLOBAL} into a medium
  // prepared with TYMED_HGLOBAL, a null handle and no release object.
  virtual HResult GetData() = 0;
  // GlobalLock on the medium's block; false when it yields null.
  virtual bool Lock() = 0;
  // GlobalUnlock on the block.
  virtual void Unlock() = 0;
  // ReleaseStgMedium on the medium.
  virtual void ReleaseMedium() = 0;
  // DragQueryFileW on the locked block: index 0xFFFFFFFF with a null buffer gives the item count;
  // an item index with a null buffer gives the length of its path without terminator; with a
  // buffer of `size` units it writes at most size - 1 units and a zero and returns the units
  // written, 0 when the item cannot be delivered.
  virtual std::uint32_t QueryFile(std::uint32_t index, char16_t* buffer, std::uint32_t size) = 0;
};

inline constexpr std::uint32_t kDropFileCount = 0xFFFFFFFFu;

}  // namespace torvo
