#pragma once
// The module's string table and the conversion of its texts to the ANSI code page.
#include <cstdint>
#include <string>

namespace torvo {

// String table ids of the module.
inline constexpr std::uint32_t IDS_PRODUCT_NAME = 100;
inline constexpr std::uint32_t IDS_MENU_TEXT = 101;
inline constexpr std::uint32_t IDS_HELP_TEXT = 102;
inline constexpr std::uint32_t IDS_PROGRESS_TITLE = 103;

class TextSource {
 public:
  virtual ~TextSource() = default;

  // The text of a string-table id, loaded afresh; empty when the module holds none.
  virtual std::u16string LoadText(std::uint32_t id) = 0;

  // WideCharToMultiByte(CP_THREAD_ACP, 0, source, sourceUnits, out, outSize, null, null):
  // with outSize 0 the bytes needed; otherwise the bytes written, 0 on failure.
  virtual int ToThreadAnsi(const char16_t* source, int sourceUnits, char* out, int outSize) = 0;
};

}  // namespace torvo
