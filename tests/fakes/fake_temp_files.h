#pragma once
// The user's temporary folder in memory: GetTempPathW, GetTempFileNameW, CreateFileW and WriteFile
// with their documented results and the failures the tests inject.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shellmenu/temp_files.h"

namespace torvo::fakes {

struct FakeFile {
  std::vector<unsigned char> bytes;
  bool open = false;
};

class FakeTempFiles : public TempFiles {
 public:
  // The folder GetTempPathW reports, with its trailing backslash.
  std::u16string folder = u"C:\\Users\\ann\\AppData\\Local\\Temp\\";
  // Replaces what TempFolder returns (0: failure), without writing anything.
  std::optional<std::uint32_t> folderResult;
  bool uniqueNameFails = false;
  bool createFails = false;  // every CreateNew fails, whatever is at the name
  // Writes that succeed before every later one fails; negative: none fails.
  int writesBeforeFailure = -1;
  bool writeThrowsBadAlloc = false;
  // The numbers NameNumber answers, one after another (the last one again once they are used up).
  std::vector<std::uint32_t> nameNumbers = {0x1A2A};

  std::uint32_t TempFolder(std::uint32_t size, char16_t* buffer) override;
  std::uint32_t NameNumber() override;
  std::uint32_t TempFileName(const char16_t* folderPath, const char16_t* prefix, std::uint32_t unique,
                             char16_t* name) override;
  // CREATE_NEW: null when the name is taken (files) or createFails.
  std::unique_ptr<WritableFile> CreateNew(const char16_t* path) override;
  std::optional<std::vector<std::uint8_t>> ReadWholeFile(const char16_t* path, std::uint32_t limit) override;
  bool RemoveFile(const char16_t* path) override;

  struct UniqueRequest {
    std::u16string folder;
    std::u16string prefix;
    std::uint32_t unique;
  };
  std::vector<std::uint32_t> folderSizes;  // buffer sizes TempFolder was given
  std::vector<UniqueRequest> uniqueRequests;
  std::vector<std::u16string> opened;           // paths CreateNew was given
  std::vector<std::uint32_t> readLimits;        // limits ReadWholeFile was given
  std::vector<std::uint32_t> writeSizes;        // bytes of every write asked for
  std::map<std::u16string, FakeFile> files;     // the folder's content
  std::vector<std::string>* journal = nullptr;  // shared record of calls, in order

  void Note(std::string call) {
    if (journal != nullptr) journal->push_back(std::move(call));
  }
};

}  // namespace torvo::fakes
