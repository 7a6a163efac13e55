#pragma once
// The selection as the shell hands it over: a data object holding a drop-file (CF_HDROP) list.
#include <cstdint>
#include <optional>
#include <span>

namespace torvo {

class DropFiles {
 public:
  virtual ~DropFiles() = default;

  // Asks the data object for its drop-file list ({CF_HDROP, null, DVASPECT_CONTENT, -1,
  // TYMED_HGLOBAL}) and locks the global memory block it answers with: the block's bytes, valid
  // until the source is destroyed, which unlocks the block and releases the medium. Nothing when
  // the data object has no such list, answers in another medium or the block cannot be locked.
  virtual std::optional<std::span<const std::uint8_t>> LockDropList() = 0;

  // MultiByteToWideChar(CP_ACP, 0, bytes, count, out, outUnits): the units written (no terminator
  // is added), 0 when the conversion fails, a result that does not fit in outUnits included.
  virtual std::uint32_t AnsiToUtf16(const char* bytes, std::uint32_t count, char16_t* out, std::uint32_t outUnits) = 0;
};

}  // namespace torvo
