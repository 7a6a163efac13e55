#include "tools/doctor/doctor_text.h"

#include <objbase.h>

namespace torvo::doctor {

std::wstring StatusText(HRESULT status) {
  wchar_t number[16];
  ::wsprintfW(number, L"0x%08X", static_cast<unsigned>(status));
  wchar_t* message = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::wstring text(message != nullptr ? message : L"", length);
  ::LocalFree(message);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return text.empty() ? number : std::wstring(number) + L" (" + text + L")";
}

std::wstring FullPath(const std::wstring& path) {
  const DWORD units = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (units == 0) return path;
  std::wstring full(units, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), units, full.data(), nullptr);
  if (written == 0 || written >= units) return path;
  full.resize(written);
  return full;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace torvo::doctor
