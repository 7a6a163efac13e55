#include "platform/win32/wine_bench.h"

#include <windows.h>

#include <cwchar>

#include "platform/win32/once_per_load.h"

namespace torvo::win32 {

namespace {

constinit OncePerLoad g_underWine;

}  // namespace

bool UnderWine() {
  return g_underWine.Answer([] {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  });
}

std::uint32_t BenchNumber(const wchar_t* name, std::uint32_t productValue) {
  if (!UnderWine()) return productValue;
  wchar_t text[16] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, text, 16);
  if (length == 0 || length >= 16) return productValue;
  wchar_t* end = nullptr;
  const unsigned long value = std::wcstoul(text, &end, 10);
  return *end == L'\0' && value > 0 && value <= 0xFFFFFFFFul ? static_cast<std::uint32_t>(value) : productValue;
}

}  // namespace torvo::win32
