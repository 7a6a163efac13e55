#include "tools/doctor/console.h"

namespace torvo::doctor {

void Write(DWORD stream, const std::wstring& text) {
  const HANDLE handle = ::GetStdHandle(stream);
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(handle, &mode)) {
    ::WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring ReadLine() {
  const HANDLE handle = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  std::wstring line;
  if (::GetConsoleMode(handle, &mode)) {
    wchar_t unit = 0;
    DWORD read = 0;
    while (::ReadConsoleW(handle, &unit, 1, &read, nullptr) && read == 1 && unit != L'\n') line += unit;
  } else {
    std::string bytes;
    char byte = 0;
    DWORD read = 0;
    while (::ReadFile(handle, &byte, 1, &read, nullptr) && read == 1 && byte != '\n') bytes += byte;
    line.resize(bytes.size());
    line.resize(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                               line.data(), static_cast<int>(line.size()))));
  }
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  return line;
}

}  // namespace torvo::doctor
