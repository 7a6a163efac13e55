#pragma once
// The user's temporary folder and the list files written there and read back.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace torvo {

// A file open for writing; the owner's destruction closes it (CloseHandle).
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // One synchronous WriteFile of `bytes` bytes; false when the platform reports failure.
  virtual bool Write(const void* data, std::uint32_t bytes) = 0;
};

class TempFiles {
 public:
  virtual ~TempFiles() = default;

  // GetTempPathW into a buffer of `size` units: the length written, or the size needed when it
  // did not fit, 0 on failure.
  virtual std::uint32_t TempFolder(std::uint32_t size, char16_t* buffer) = 0;

  // A number for a file's name that other programs cannot foresee (RtlGenRandom).
  virtual std::uint32_t NameNumber() = 0;

  // GetTempFileNameW(folder, prefix, unique, name) with a nonzero unique: forms the name (the
  // folder, the prefix, the number in hexadecimal, ".tmp") without creating anything. `name` holds
  // at least 260 units. Returns 0 on failure.
  virtual std::uint32_t TempFileName(const char16_t* folder, const char16_t* prefix, std::uint32_t unique,
                                     char16_t* name) = 0;

  // CreateFileW(path, GENERIC_READ | GENERIC_WRITE, no sharing, no security, CREATE_NEW,
  // FILE_ATTRIBUTE_NORMAL, no template): a new file of the caller's own, never one that is there
  // (a file, or a link another program planted); null when it yields INVALID_HANDLE_VALUE.
  virtual std::unique_ptr<WritableFile> CreateNew(const char16_t* path) = 0;

  // CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), its size and one ReadFile:
  // the whole file. Nothing when it cannot be opened or read whole, or holds more than `limit` bytes.
  virtual std::optional<std::vector<std::uint8_t>> ReadWholeFile(const char16_t* path, std::uint32_t limit) = 0;

  // DeleteFileW; false when the platform reports failure.
  virtual bool RemoveFile(const char16_t* path) = 0;
};

}  // namespace torvo
