#include "tests/fakes/fake_drop_files.h"

#include <algorithm>

namespace torvo::fakes {

HResult FakeDropFiles::GetData() {
  ++getDataCalls;
  return getDataResult;
}

bool FakeDropFiles::Lock() {
  ++locks;
  return lockSucceeds;
}

std::uint32_t FakeDropFiles::QueryFile(std::uint32_t index, char16_t* buffer, std::uint32_t size) {
  if (index == kDropFileCount) return static_cast<std::uint32_t>(paths_.size());
  if (index >= paths_.size()) return 0;
  if (std::find(undelivered.begin(), undelivered.end(), index) != undelivered.end()) return 0;
  const std::u16string& path = paths_[index];
  if (buffer == nullptr) return static_cast<std::uint32_t>(path.size());
  if (size == 0) return 0;
  // Like DragQueryFileW: at most size - 1 units and a terminating zero.
  const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
  std::copy_n(path.begin(), copied, buffer);
  buffer[copied] = u'\0';
  return static_cast<std::uint32_t>(copied);
}

}  // namespace torvo::fakes
