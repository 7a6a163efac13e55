#include "registrar/script_tables.h"

#include "common/text.h"

namespace torvo {

RegKey LookupRootKey(std::u16string_view token) {
  for (const RootKeyEntry& row : g_rootKeys) {
    if (EqualsFoldingAscii(row.name, token)) return row.key;
  }
  return 0;
}

std::uint16_t LookupValueType(std::u16string_view token) {
  for (const TypeLetterEntry& row : g_typeLetters) {
    if (EqualsFoldingAscii(row.letter, token)) return row.kind;
  }
  return VALUE_KIND_NONE;
}

bool IsNeverDeleteKey(std::u16string_view name) {
  for (const std::u16string_view kept : g_neverDeleteKeys) {
    if (EqualsFoldingAscii(kept, name)) return true;
  }
  return false;
}

bool IsKeyword(std::u16string_view token, std::u16string_view keyword) { return EqualsFoldingAscii(token, keyword); }

std::uint8_t HexDigitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return static_cast<std::uint8_t>(unit - u'0');
  if (unit >= u'A' && unit <= u'F') return static_cast<std::uint8_t>(unit - u'A' + 10);
  if (unit >= u'a' && unit <= u'f') return static_cast<std::uint8_t>(unit - u'a' + 10);
  return 0;
}

}  // namespace torvo
