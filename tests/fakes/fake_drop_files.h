#pragma once
// A drop-file list in memory, with the failures the platform can report.
#include <optional>
#include <string>
#include <vector>

#include "shellmenu/drop_files.h"

namespace torvo::fakes {

class FakeDropFiles : public DropFiles {
 public:
  explicit FakeDropFiles(std::vector<std::u16string> paths) : paths_(std::move(paths)) {}

  HResult getDataResult = kOk;
  bool lockSucceeds = true;
  std::vector<std::uint32_t> undelivered;  // indices DragQueryFileW cannot deliver

  HResult GetData() override;
  bool Lock() override;
  void Unlock() override { ++unlocks; }
  void ReleaseMedium() override { ++releases; }
  std::uint32_t QueryFile(std::uint32_t index, char16_t* buffer, std::uint32_t size) override;

  int getDataCalls = 0, locks = 0, unlocks = 0, releases = 0;

 private:
  std::vector<std::u16string> paths_;
};

}  // namespace torvo::fakes
