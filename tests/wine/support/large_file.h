#pragma once
// Large files made in an instant (sparse: only their first and last bytes are written), for moves
// that take seconds when they must copy.
#include <windows.h>

#include <string>

namespace torvo::wine {

// Creates the file with `bytes` bytes (at least 32): a marker at its start and one at its end.
bool CreateLargeFile(const std::wstring& path, ULONGLONG bytes);

// Whether the file has exactly `bytes` bytes and both markers in place.
bool IsWholeLargeFile(const std::wstring& path, ULONGLONG bytes);

inline constexpr wchar_t kTmpfsVaultRoot[] = L"S:\\";  // the test bench maps S: to a tmpfs folder

}  // namespace torvo::wine
