#include "tests/fakes/fake_temp_files.h"

#include <algorithm>
#include <new>

namespace torvo::fakes {

namespace {

class FakeWritableFile : public WritableFile {
 public:
  FakeWritableFile(FakeTempFiles& owner, std::u16string path) : owner_(owner), path_(std::move(path)) {}
  FakeWritableFile(const FakeWritableFile&) = delete;
  FakeWritableFile& operator=(const FakeWritableFile&) = delete;
  ~FakeWritableFile() override {
    owner_.files[path_].open = false;
    owner_.Note("close");
  }

  bool Write(const void* data, std::uint32_t bytes) override {
    owner_.Note("write");
    owner_.writeSizes.push_back(bytes);
    if (owner_.writeThrowsBadAlloc) throw std::bad_alloc();
    if (owner_.writesBeforeFailure == 0) return false;
    if (owner_.writesBeforeFailure > 0) --owner_.writesBeforeFailure;
    const auto* first = static_cast<const unsigned char*>(data);
    auto& content = owner_.files[path_].bytes;
    content.insert(content.end(), first, first + bytes);
    return true;
  }

 private:
  FakeTempFiles& owner_;
  std::u16string path_;
};

std::u16string Hex(std::uint32_t number) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  do {
    text.insert(text.begin(), kDigits[number % 16]);
    number /= 16;
  } while (number != 0);
  return text;
}

}  // namespace

std::uint32_t FakeTempFiles::TempFolder(std::uint32_t size, char16_t* buffer) {
  Note("temp folder");
  folderSizes.push_back(size);
  if (folderResult) return *folderResult;
  // GetTempPathW: the length when it fits, else the size needed with the terminator.
  if (folder.size() + 1 > size) return static_cast<std::uint32_t>(folder.size() + 1);
  std::copy(folder.c_str(), folder.c_str() + folder.size() + 1, buffer);
  return static_cast<std::uint32_t>(folder.size());
}

std::uint32_t FakeTempFiles::NameNumber() {
  const std::uint32_t number = nameNumbers.front();
  if (nameNumbers.size() > 1) nameNumbers.erase(nameNumbers.begin());
  return number;
}

std::uint32_t FakeTempFiles::TempFileName(const char16_t* folderPath, const char16_t* prefix, std::uint32_t unique,
                                          char16_t* name) {
  Note("unique name");
  uniqueRequests.push_back({folderPath, prefix, unique});
  if (uniqueNameFails || unique == 0) return 0;  // 0 would create a file: never asked for
  // GetTempFileNameW: the folder, up to three units of the prefix, the number in hexadecimal, ".tmp".
  std::u16string path(folderPath);
  if (!path.empty() && path.back() != u'\\') path += u'\\';
  path += std::u16string(prefix).substr(0, 3) + Hex(unique) + u".tmp";
  if (path.size() >= 260) return 0;  // the name must fit in MAX_PATH
  std::copy(path.c_str(), path.c_str() + path.size() + 1, name);
  return unique;
}

std::unique_ptr<WritableFile> FakeTempFiles::CreateNew(const char16_t* path) {
  Note("create");
  opened.emplace_back(path);
  if (createFails || files.count(path) != 0) return nullptr;
  files[path].open = true;
  return std::make_unique<FakeWritableFile>(*this, path);
}

std::optional<std::vector<std::uint8_t>> FakeTempFiles::ReadWholeFile(const char16_t* path, std::uint32_t limit) {
  Note("read");
  readLimits.push_back(limit);
  const auto found = files.find(path);
  if (found == files.end() || found->second.open || found->second.bytes.size() > limit) return std::nullopt;
  return std::vector<std::uint8_t>(found->second.bytes.begin(), found->second.bytes.end());
}

bool FakeTempFiles::RemoveFile(const char16_t* path) {
  Note("remove");
  return files.erase(path) == 1;
}

}  // namespace torvo::fakes
