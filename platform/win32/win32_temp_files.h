#pragma once
// The user's temporary folder and the list files written there and read back, through the Win32
// file calls.
#include "shellmenu/temp_files.h"

namespace torvo::win32 {

class Win32TempFiles : public TempFiles {
 public:
  std::uint32_t TempFolder(std::uint32_t size, char16_t* buffer) override;
  std::uint32_t NameNumber() override;
  std::uint32_t TempFileName(const char16_t* folder, const char16_t* prefix, std::uint32_t unique,
                             char16_t* name) override;
  std::unique_ptr<WritableFile> CreateNew(const char16_t* path) override;
  std::optional<std::vector<std::uint8_t>> ReadWholeFile(const char16_t* path, std::uint32_t limit) override;
  bool RemoveFile(const char16_t* path) override;
};

}  // namespace torvo::win32
