#pragma once
// Text helpers of torvo-doctor: UTF-16 between the portable code's char16_t and the platform's
// wchar_t, status codes and GUIDs as people read them.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/guid_text.h"

namespace torvo::doctor {

inline std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// "0x80070002 (The system cannot find the file specified.)", or the number alone when the system
// has no text for it.
std::wstring StatusText(HRESULT status);

using win32::GuidText;

// The path in double quotes, as a command line wants it.
inline std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The full path of a path relative to the current folder; the path itself when it has none.
std::wstring FullPath(const std::wstring& path);

// Equality without regard to case, as the file system and the registry compare names.
bool SameName(const std::wstring& a, const std::wstring& b);

}  // namespace torvo::doctor
