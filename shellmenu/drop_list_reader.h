#pragma once
// The items of a drop-file (CF_HDROP) block, read in one forward pass.
//
// The block begins with a DROPFILES header: pFiles (offset 0, 32 bits) is the offset of the list
// from the block's start, fWide (offset 16, 32 bits) is nonzero for UTF-16 items and zero for items
// in the ANSI code page. Each item ends with a zero character; an empty item ends the list.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace torvo {

inline constexpr std::size_t kDropFilesHeaderBytes = 20;  // sizeof(DROPFILES)

// One item as it lies in the block: its first byte and its length in code units (bytes in an ANSI
// list, byte pairs in a UTF-16 list, little-endian), without the terminating zero. An item that the
// block ends inside of is not whole: it is the list's last and must be left out.
struct DropListItem {
  const std::uint8_t* first = nullptr;
  std::size_t units = 0;
  bool whole = true;
};

class DropListReader {
 public:
  // Nothing when the block is smaller than the header or pFiles points into the header or past
  // the block's end.
  static std::optional<DropListReader> Open(std::span<const std::uint8_t> block);

  bool IsWide() const { return wide_; }

  // The next item; nothing at the empty item that ends the list and after an item that is not
  // whole. A trailing odd byte of a UTF-16 list is no item. Never reads outside the block.
  std::optional<DropListItem> Next();

 private:
  DropListReader(std::span<const std::uint8_t> block, std::size_t offset, bool wide)
      : block_(block), offset_(offset), wide_(wide) {}

  std::span<const std::uint8_t> block_;
  std::size_t offset_;
  bool wide_;
};

}  // namespace torvo
