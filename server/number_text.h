#pragma once
// A number written out in digits, for the texts the DLL builds: no variadic call (Debian's arm64
// Wine crashes on those) and none of the C++ library's formatting code in the DLL.
#include <string>

namespace torvo::server {

// `number` in lower-case digits of `base` (10 or 16), without leading zeros: 202, "409".
inline std::wstring NumberText(unsigned long number, unsigned base = 10) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), L"0123456789abcdef"[number % base]);
    number /= base;
  } while (number != 0);
  return digits;
}

}  // namespace torvo::server
