#pragma once
// UTF-16 text helpers for portable code. Paths live in buffers of kMaxPath code units,
// terminator included, so a path holds at most 259 code units.
#include <cstddef>
#include <string>
#include <string_view>

namespace torvo {

inline constexpr std::size_t kMaxPath = 260;

// Length of a null-terminated UTF-16 string.
inline std::size_t TextLength(const char16_t* text) { return std::char_traits<char16_t>::length(text); }

// Folds the ASCII letters A-Z to lower case and leaves every other code unit as it is.
constexpr char16_t FoldAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

constexpr bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Equality with ASCII letters compared without regard to case (_wcsicmp in the default locale).
constexpr bool EqualsFoldingAscii(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace torvo
