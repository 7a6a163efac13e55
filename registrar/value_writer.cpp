// WriteValue: one value of a key, by the kind its type letter names.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <vector>

#include "registrar/script_walker.h"

namespace torvo {

namespace {

HResult StoreString(Registry& registry, RegKey key, const char16_t* name, std::u16string_view text) {
  const auto bytes = static_cast<std::uint32_t>((text.size() + 1) * sizeof(char16_t));
  return HresultFromWin32(registry.SetValue(key, name, kRegSz, text.data(), bytes));
}

// "\0" in the text separates the strings; the list ends with an empty string, so the first empty
// string (as in a\0\0b) ends it early.
HResult StoreMultiString(Registry& registry, RegKey key, const char16_t* name, std::u16string_view text) {
  std::vector<char16_t> list(text.size() + 2, u'\0');
  std::size_t written = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'0') {
      list[written++] = u'\0';
      ++i;
    } else {
      list[written++] = text[i];
    }
  }
  std::size_t units = 0;
  for (;;) {
    const std::size_t length = std::u16string_view(list.data() + units).size();
    units += length + 1;
    if (length == 0) break;
  }
  const auto bytes = static_cast<std::uint32_t>(units * sizeof(char16_t));
  return HresultFromWin32(registry.SetValue(key, name, kRegMultiSz, list.data(), bytes));
}

HResult StoreDword(Registry& registry, RegKey key, const char16_t* name, const char16_t* text) {
  std::uint32_t number = 0;
  TORVO_RETURN_IF_FAILED(registry.VarUI4FromStr(text, &number));
  return HresultFromWin32(registry.SetValue(key, name, kRegDword, &number, sizeof number));
}

// Two hex digits a byte, the first one high; a unit that is no hex digit counts as 0.
HResult StoreBinary(Registry& registry, RegKey key, const char16_t* name, std::u16string_view text) {
  if (text.size() % 2 != 0) return kFail;
  std::vector<std::uint8_t> bytes;
  try {
    bytes.assign(text.size() / 2, 0);
  } catch (const std::bad_alloc&) {
    return kFail;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t digit = HexDigitValue(text[i]);
    bytes[i / 2] = static_cast<std::uint8_t>(bytes[i / 2] | (i % 2 == 0 ? digit << 4 : digit));
  }
  return HresultFromWin32(
      registry.SetValue(key, name, kRegBinary, bytes.data(), static_cast<std::uint32_t>(bytes.size())));
}

HResult StoreValue(Registry& registry, RegKey key, const char16_t* name, std::uint16_t kind, const char16_t* text) {
  switch (kind) {
    case VALUE_KIND_STRING:
      return StoreString(registry, key, name, text);
    case VALUE_KIND_MULTI_STRING:
      return StoreMultiString(registry, key, name, text);
    case VALUE_KIND_DWORD:
      return StoreDword(registry, key, name, text);
    case VALUE_KIND_BINARY:
      return StoreBinary(registry, key, name, text);
    default:
      return kDispException;
  }
}

}  // namespace

HResult WriteValue(CRegScriptParser& parser, RegKey key, const char16_t* name, TokenBuffer& token) {
  TokenBuffer& text = parser.valueText;
  TORVO_RETURN_IF_FAILED(ReadToken(parser, text));
  const std::uint16_t kind = LookupValueType(text.data());
  if (kind == VALUE_KIND_NONE) return kDispException;
  SkipBlanks(parser);
  TORVO_RETURN_IF_FAILED(ReadToken(parser, text));
  TORVO_RETURN_IF_FAILED(StoreValue(parser.registry, key, name, kind, text.data()));
  return ReadToken(parser, token);
}

}  // namespace torvo
