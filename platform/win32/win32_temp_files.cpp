#include "platform/win32/win32_temp_files.h"

#include <windows.h>
#include <ntsecapi.h>

#include <memory>
#include <utility>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace torvo::win32 {

namespace {

// A file opened by CreateFileW; closed when the owner goes.
class Win32WritableFile : public WritableFile {
 public:
  explicit Win32WritableFile(UniqueFile file) : file_(std::move(file)) {}

  bool Write(const void* data, std::uint32_t bytes) override {
    DWORD written = 0;
    return ::WriteFile(file_.Get(), data, bytes, &written, nullptr) != FALSE;
  }

 private:
  UniqueFile file_;
};

}  // namespace

std::uint32_t Win32TempFiles::TempFolder(std::uint32_t size, char16_t* buffer) {
  return ::GetTempPathW(size, AsWide(buffer));
}

std::uint32_t Win32TempFiles::NameNumber() {
  // The system's random source (RtlGenRandom, as rand_s uses it); should it fail, a number that is
  // merely unlikely to repeat still gives a new file, since a taken name is never used.
  ULONG number = 0;
  if (!RtlGenRandom(&number, sizeof(number))) number = ::GetTickCount() ^ ::GetCurrentProcessId() << 16;
  return number;
}

std::uint32_t Win32TempFiles::TempFileName(const char16_t* folder, const char16_t* prefix, std::uint32_t unique,
                                           char16_t* name) {
  return ::GetTempFileNameW(AsWide(folder), AsWide(prefix), unique, AsWide(name));
}

std::unique_ptr<WritableFile> Win32TempFiles::CreateNew(const char16_t* path) {
  UniqueFile file(::CreateFileW(AsWide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return nullptr;
  // Should the allocation throw, `file` has not been moved from and still closes the handle.
  return std::make_unique<Win32WritableFile>(std::move(file));
}

std::optional<std::vector<std::uint8_t>> Win32TempFiles::ReadWholeFile(const char16_t* path, std::uint32_t limit) {
  const UniqueFile file(::CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > limit) return std::nullopt;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() && !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return std::nullopt;
  }
  if (read != bytes.size()) return std::nullopt;
  return bytes;
}

bool Win32TempFiles::RemoveFile(const char16_t* path) { return ::DeleteFileW(AsWide(path)) != FALSE; }

}  // namespace torvo::win32
