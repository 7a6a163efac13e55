#pragma once
// A data object's drop-file block in memory; ANSI items convert byte for byte (Latin-1).
#include <optional>
#include <string>
#include <vector>

#include "shellmenu/drop_files.h"

namespace torvo::fakes {

class FakeDropFiles : public DropFiles {
 public:
  // A UTF-16 block holding the paths.
  explicit FakeDropFiles(std::vector<std::u16string> paths);
  // Exactly these bytes as the block.
  explicit FakeDropFiles(std::vector<std::uint8_t> block) : block_(std::move(block)) {}

  // False: the data object has no drop-file list in a memory block, or it cannot be locked.
  bool hasList = true;

  std::optional<std::span<const std::uint8_t>> LockDropList() override;
  std::uint32_t AnsiToUtf16(const char* bytes, std::uint32_t count, char16_t* out, std::uint32_t outUnits) override;

 private:
  std::vector<std::uint8_t> block_;
};

}  // namespace torvo::fakes
