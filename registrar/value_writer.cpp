// ReadValue and WriteValue: one value of a key, encoded by the kind its type letter names.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "registrar/script_walker.h"

namespace torvo {

namespace {

void EncodeUnits(std::u16string_view units, EncodedValue& value) {
  value.bytes.resize(units.size() * sizeof(char16_t));
  if (!units.empty()) std::memcpy(value.bytes.data(), units.data(), value.bytes.size());
}

// The text with its terminator.
void EncodeString(std::u16string_view text, EncodedValue& value) {
  value.type = kRegSz;
  EncodeUnits(std::u16string_view(text.data(), text.size() + 1), value);
}

// "\0" in the text separates the strings; the list ends with an empty string, so the first empty
// string (as in a\0\0b) ends it early.
void EncodeMultiString(std::u16string_view text, EncodedValue& value) {
  std::u16string list(text.size() + 2, u'\0');
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
  value.type = kRegMultiSz;
  EncodeUnits(std::u16string_view(list.data(), units), value);
}

HResult EncodeDword(Registry& registry, const char16_t* text, EncodedValue& value) {
  std::uint32_t number = 0;
  TORVO_RETURN_IF_FAILED(registry.VarUI4FromStr(text, &number));
  value.type = kRegDword;
  value.bytes.resize(sizeof number);
  std::memcpy(value.bytes.data(), &number, sizeof number);
  return kOk;
}

// Two hex digits a byte, the first one high; a unit that is no hex digit counts as 0.
HResult EncodeBinary(std::u16string_view text, EncodedValue& value) {
  if (text.size() % 2 != 0) return kFail;
  try {
    value.bytes.assign(text.size() / 2, 0);
  } catch (const std::bad_alloc&) {
    return kFail;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::uint8_t digit = HexDigitValue(text[i]);
    value.bytes[i / 2] = static_cast<std::uint8_t>(value.bytes[i / 2] | (i % 2 == 0 ? digit << 4 : digit));
  }
  value.type = kRegBinary;
  return kOk;
}

HResult Encode(Registry& registry, std::uint16_t kind, const char16_t* text, EncodedValue& value) {
  switch (kind) {
    case VALUE_KIND_STRING:
      EncodeString(text, value);
      return kOk;
    case VALUE_KIND_MULTI_STRING:
      EncodeMultiString(text, value);
      return kOk;
    case VALUE_KIND_DWORD:
      return EncodeDword(registry, text, value);
    case VALUE_KIND_BINARY:
      return EncodeBinary(text, value);
    default:
      return kDispException;
  }
}

}  // namespace

HResult ReadValue(CRegScriptParser& parser, EncodedValue& value) {
  TokenBuffer& text = parser.valueText;
  TORVO_RETURN_IF_FAILED(ReadToken(parser, text));
  const std::uint16_t kind = LookupValueType(text.data());
  if (kind == VALUE_KIND_NONE) return kDispException;
  SkipBlanks(parser);
  TORVO_RETURN_IF_FAILED(ReadToken(parser, text));
  return Encode(parser.registry, kind, text.data(), value);
}

HResult WriteValue(CRegScriptParser& parser, RegKey key, const char16_t* name, TokenBuffer& token) {
  EncodedValue value;
  TORVO_RETURN_IF_FAILED(ReadValue(parser, value));
  const auto bytes = static_cast<std::uint32_t>(value.bytes.size());
  TORVO_RETURN_IF_FAILED(HresultFromWin32(parser.registry.SetValue(key, name, value.type, value.bytes.data(), bytes)));
  return ReadToken(parser, token);
}

}  // namespace torvo
