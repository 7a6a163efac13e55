#include "platform/win32/win32_text_source.h"

#include <climits>

#include "platform/win32/wide.h"

namespace torvo::win32 {

std::u16string Win32TextSource::LoadText(std::uint32_t id) {
  // With a size of 0, LoadStringW lends a pointer into the resource itself and returns the
  // text's length: texts of any length arrive whole, and nothing is copied twice.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(instance_, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return std::u16string(AsUtf16(text), static_cast<std::size_t>(length));
}

std::optional<std::string> Win32TextSource::ToThreadAnsi(std::u16string_view text) {
  if (text.empty()) return std::string();
  if (text.size() >= INT_MAX) return std::nullopt;
  const auto units = static_cast<int>(text.size());
  const wchar_t* source = AsWide(text.data());
  const int needed = ::WideCharToMultiByte(CP_THREAD_ACP, 0, source, units, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  if (::WideCharToMultiByte(CP_THREAD_ACP, 0, source, units, bytes.data(), needed, nullptr, nullptr) != needed) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace torvo::win32
