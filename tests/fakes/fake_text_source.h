#pragma once
// The module's string table and WideCharToMultiByte into the thread's ANSI code page, in memory.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "shellmenu/text_source.h"

namespace torvo::fakes {

// The two kinds of ANSI code page that matter to the handler's texts.
enum class AnsiCodePage {
  kDoubleByte,  // like 936: one byte for ASCII, two for every other unit
  kUtf8,        // 65001: up to three bytes for a unit of the Basic Multilingual Plane
};

// The texts of the module's string table (language 2052).
std::map<std::uint32_t, std::u16string> ModuleTexts();

// The bytes the fake conversion gives for a text in a code page.
std::string EncodeAnsi(std::u16string_view text, AnsiCodePage page);

class FakeTextSource : public TextSource {
 public:
  std::map<std::uint32_t, std::u16string> texts = ModuleTexts();  // remove an id to make it missing
  AnsiCodePage page = AnsiCodePage::kDoubleByte;
  bool conversionFails = false;
  bool loadThrowsBadAlloc = false;
  bool loadThrowsLengthError = false;  // any other exception a platform call might raise

  std::u16string LoadText(std::uint32_t id) override;
  std::optional<std::string> ToThreadAnsi(std::u16string_view text) override;

  std::vector<std::uint32_t> loads;  // ids asked for
};

}  // namespace torvo::fakes
