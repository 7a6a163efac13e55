#pragma once
// The fixed tables of the registry script language: root keys, value types, keys never deleted,
// keywords, and the buffer sizes every token and variable name must fit.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "registrar/registry.h"

namespace torvo {

// Every token is read into a buffer of this many code units; a token holds at most 4094.
inline constexpr std::size_t TOKEN_BUFFER_CHARS = 4096;
// Variable names hold at most 31 code units.
inline constexpr std::size_t VARIABLE_NAME_BUFFER_CHARS = 32;

// Value kinds (the VARIANT types the language's type letters stand for); 0 is none.
inline constexpr std::uint16_t VALUE_KIND_NONE = 0;
inline constexpr std::uint16_t VALUE_KIND_STRING = 8;             // VT_BSTR
inline constexpr std::uint16_t VALUE_KIND_MULTI_STRING = 0x4008;  // VT_BSTR | VT_BYREF
inline constexpr std::uint16_t VALUE_KIND_DWORD = 19;             // VT_UI4
inline constexpr std::uint16_t VALUE_KIND_BINARY = 17;            // VT_UI1

inline constexpr std::u16string_view kKeywordForceRemove = u"ForceRemove";
inline constexpr std::u16string_view kKeywordDelete = u"Delete";
inline constexpr std::u16string_view kKeywordNoRemove = u"NoRemove";
inline constexpr std::u16string_view kKeywordVal = u"Val";

struct RootKeyEntry {
  std::u16string_view name;
  RegKey key;
};

// Searched in this order.
inline constexpr std::array<RootKeyEntry, 14> g_rootKeys = {{
    {u"HKCR", kHkeyClassesRoot},
    {u"HKCU", kHkeyCurrentUser},
    {u"HKLM", kHkeyLocalMachine},
    {u"HKU", kHkeyUsers},
    {u"HKPD", kHkeyPerformanceData},
    {u"HKDD", kHkeyDynData},
    {u"HKCC", kHkeyCurrentConfig},
    {u"HKEY_CLASSES_ROOT", kHkeyClassesRoot},
    {u"HKEY_CURRENT_USER", kHkeyCurrentUser},
    {u"HKEY_LOCAL_MACHINE", kHkeyLocalMachine},
    {u"HKEY_USERS", kHkeyUsers},
    {u"HKEY_PERFORMANCE_DATA", kHkeyPerformanceData},
    {u"HKEY_DYN_DATA", kHkeyDynData},
    {u"HKEY_CURRENT_CONFIG", kHkeyCurrentConfig},
}};

struct TypeLetterEntry {
  std::u16string_view letter;
  std::uint16_t kind;
};

inline constexpr std::array<TypeLetterEntry, 4> g_typeLetters = {{
    {u"S", VALUE_KIND_STRING},
    {u"M", VALUE_KIND_MULTI_STRING},
    {u"D", VALUE_KIND_DWORD},
    {u"B", VALUE_KIND_BINARY},
}};

// Keys that ForceRemove and Delete never delete, whatever the script says.
inline constexpr std::array<std::u16string_view, 12> g_neverDeleteKeys = {
    u"AppID",    u"CLSID",     u"Component Categories",
    u"FileType", u"Interface", u"Hardware",
    u"Mime",     u"SAM",       u"SECURITY",
    u"SYSTEM",   u"Software",  u"TypeLib",
};

// The handle of the first root key whose name equals the token without regard to case; 0 if none.
RegKey LookupRootKey(std::u16string_view token);

// The value kind of the type letter (any case); VALUE_KIND_NONE if it is none of the four.
std::uint16_t LookupValueType(std::u16string_view token);

// Whether the key name is on the never-delete list (any case).
bool IsNeverDeleteKey(std::u16string_view name);

// Whether the token is the keyword, compared without regard to case.
bool IsKeyword(std::u16string_view token, std::u16string_view keyword);

// 0-9 for "0"-"9", 10-15 for "A"-"F" and "a"-"f", 0 for every other code unit.
std::uint8_t HexDigitValue(char16_t unit);

}  // namespace torvo
