#include "tests/wine/support/large_file.h"

#include <cstring>

#include "platform/win32/unique_handle.h"

namespace torvo::wine {

namespace {

constexpr char kHeadMarker[16] = "TORVO-HEAD-MARK";
constexpr char kTailMarker[16] = "TORVO-TAIL-MARK";

bool WriteAt(HANDLE file, ULONGLONG offset, const char (&marker)[16]) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD written = 0;
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::WriteFile(file, marker, 16, &written, nullptr) &&
         written == 16;
}

bool HasAt(HANDLE file, ULONGLONG offset, const char (&marker)[16]) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  char read[16] = {};
  DWORD got = 0;
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::ReadFile(file, read, 16, &got, nullptr) && got == 16 &&
         std::memcmp(read, marker, 16) == 0;
}

}  // namespace

bool CreateLargeFile(const std::wstring& path, ULONGLONG bytes) {
  const win32::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file && WriteAt(file.Get(), 0, kHeadMarker) && WriteAt(file.Get(), bytes - 16, kTailMarker);
}

bool IsWholeLargeFile(const std::wstring& path, ULONGLONG bytes) {
  const win32::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size) || static_cast<ULONGLONG>(size.QuadPart) != bytes) return false;
  return HasAt(file.Get(), 0, kHeadMarker) && HasAt(file.Get(), bytes - 16, kTailMarker);
}

}  // namespace torvo::wine
