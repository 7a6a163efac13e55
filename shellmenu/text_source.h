#pragma once
// The module's string table and the conversion of its texts to the ANSI code page.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "resources/resource_ids.h"

namespace torvo {

// String table ids of the module, numbered where the resource script takes them from.
inline constexpr std::uint32_t IDS_PRODUCT_NAME = IDS_TORVO_PRODUCT_NAME;
inline constexpr std::uint32_t IDS_MENU_TEXT = IDS_TORVO_MENU_TEXT;
inline constexpr std::uint32_t IDS_HELP_TEXT = IDS_TORVO_HELP_TEXT;
inline constexpr std::uint32_t IDS_PROGRESS_TITLE = IDS_TORVO_PROGRESS_TITLE;

class TextSource {
 public:
  virtual ~TextSource() = default;

  // The text of a string-table id, loaded afresh; empty when the module holds none.
  virtual std::u16string LoadText(std::uint32_t id) = 0;

  // WideCharToMultiByte(CP_THREAD_ACP, 0, ..., no default character): the text's bytes in the
  // calling thread's ANSI code page; nothing when the conversion fails.
  virtual std::optional<std::string> ToThreadAnsi(std::u16string_view text) = 0;
};

}  // namespace torvo
