#pragma once
// The process environment of the calling process.
#include "platform/win32/load_caches.h"
#include "shellmenu/environment.h"

namespace torvo::win32 {

class Win32Environment : public Environment {
 public:
  // With a cache, each known folder is read once for as long as the cache lives; without one, at
  // every question (a test that moves a folder sees the move).
  explicit Win32Environment(KnownFolderCache* knownFolders = nullptr) : knownFolders_(knownFolders) {}

  std::optional<std::u16string> ExpandVariables(const char16_t* source) const override;
  std::optional<std::u16string> KnownFolderPath(KnownFolder folder) const override;
  std::optional<std::u16string> LongPathName(const std::u16string& path) const override;
  bool NamesAFile(const std::u16string& path) const override;
  std::optional<std::u16string> FullPathName(const std::u16string& path) const override;
  std::vector<std::u16string> ComputerNames() const override;
  bool IsSpace(char16_t unit) const override;
  bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) const override;
  bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view part) const override;

 private:
  KnownFolderCache* knownFolders_;
};

}  // namespace torvo::win32
