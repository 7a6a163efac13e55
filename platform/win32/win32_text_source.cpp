#include "platform/win32/win32_text_source.h"

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

int Win32TextSource::ToThreadAnsi(const char16_t* source, int sourceUnits, char* out, int outSize) {
  return ::WideCharToMultiByte(CP_THREAD_ACP, 0, AsWide(source), sourceUnits, out, outSize, nullptr,
                               nullptr);
}

}  // namespace torvo::win32
