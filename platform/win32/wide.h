#pragma once
// UTF-16 at the boundary: portable code speaks char16_t, the Windows API wchar_t (16 bits here).
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

namespace torvo::win32 {

inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline char16_t* AsUtf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }

}  // namespace torvo::win32
