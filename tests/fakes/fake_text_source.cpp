#include "tests/fakes/fake_text_source.h"

#include <new>
#include <stdexcept>

namespace torvo::fakes {

std::map<std::uint32_t, std::u16string> ModuleTexts() {
  return {
      {IDS_PRODUCT_NAME, u"ZebTorvo"},
      {IDS_MENU_TEXT, u"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6"},
      {IDS_HELP_TEXT, u"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6"},
      {IDS_PROGRESS_TITLE,
       u"\u6B63\u5728\u628A\u6587\u4EF6\u79FB\u5165\u5230ZebTorvo\u5E76\u52A0\u5BC6"
       u"\uFF0C\u8BF7\u7A0D\u5019 ..."},
  };
}

namespace {

void AppendUtf8(std::string& out, std::uint32_t code) {
  const auto byte = [&out](std::uint32_t value) { out.push_back(static_cast<char>(value)); };
  if (code < 0x80) return byte(code);
  if (code < 0x800) return byte(0xC0 | (code >> 6)), byte(0x80 | (code & 0x3F));
  if (code < 0x10000) {
    return byte(0xE0 | (code >> 12)), byte(0x80 | ((code >> 6) & 0x3F)), byte(0x80 | (code & 0x3F));
  }
  byte(0xF0 | (code >> 18)), byte(0x80 | ((code >> 12) & 0x3F)), byte(0x80 | ((code >> 6) & 0x3F)),
      byte(0x80 | (code & 0x3F));
}

}  // namespace

std::string EncodeAnsi(std::u16string_view text, AnsiCodePage page) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (page == AnsiCodePage::kDoubleByte) {
      if (unit < 0x80) {
        out.push_back(static_cast<char>(unit));
      } else {  // a lead byte and a trail byte, both with the high bit set
        out.push_back(static_cast<char>(0x80 | (unit >> 9)));
        out.push_back(static_cast<char>(0x80 | (unit & 0x7F)));
      }
      continue;
    }
    const bool pair =
        unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000;
    if (!pair) {
      AppendUtf8(out, unit);
      continue;
    }
    AppendUtf8(out, 0x10000 + ((unit - 0xD800u) << 10) + (text[i + 1] - 0xDC00u));
    ++i;
  }
  return out;
}

std::u16string FakeTextSource::LoadText(std::uint32_t id) {
  loads.push_back(id);
  if (loadThrowsBadAlloc) throw std::bad_alloc();
  if (loadThrowsLengthError) throw std::length_error("text");
  const auto text = texts.find(id);
  return text == texts.end() ? std::u16string() : text->second;
}

std::optional<std::string> FakeTextSource::ToThreadAnsi(std::u16string_view text) {
  if (conversionFails) return std::nullopt;
  return EncodeAnsi(text, page);
}

}  // namespace torvo::fakes
