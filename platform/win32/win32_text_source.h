#pragma once
// Texts from a module's string table and their conversion to the thread's ANSI code page.
#include <windows.h>

#include "shellmenu/text_source.h"

namespace torvo::win32 {

class Win32TextSource : public TextSource {
 public:
  // `instance` is the module whose string table holds the texts.
  explicit Win32TextSource(HINSTANCE instance) : instance_(instance) {}

  std::u16string LoadText(std::uint32_t id) override;
  std::optional<std::string> ToThreadAnsi(std::u16string_view text) override;

 private:
  HINSTANCE instance_;
};

}  // namespace torvo::win32
