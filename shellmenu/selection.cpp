#include "shellmenu/selection.h"

#include <algorithm>

#include "common/text.h"

namespace torvo {

namespace {

// Reads one item into the last item path; false when it is not delivered whole.
bool ReadItem(DropFiles& source, std::uint32_t index, char16_t (&path)[kMaxPath]) {
  std::fill(std::begin(path), std::end(path), u'\0');
  // A path of 260 units or more would arrive cut and might name another item: leave it out.
  const std::uint32_t length = source.QueryFile(index, nullptr, 0);
  if (length == 0 || length >= kMaxPath) return false;
  if (source.QueryFile(index, path, kMaxPath) != 0) return true;
  std::fill(std::begin(path), std::end(path), u'\0');
  return false;
}

// Unlocks the block and releases the medium when the capture ends, however it ends.
class LockedDropList {
 public:
  explicit LockedDropList(DropFiles& source) : source_(source) {}
  LockedDropList(const LockedDropList&) = delete;
  LockedDropList& operator=(const LockedDropList&) = delete;
  ~LockedDropList() {
    source_.Unlock();
    source_.ReleaseMedium();
  }

 private:
  DropFiles& source_;
};

}  // namespace

HResult CaptureSelection(DropFiles* source, HandlerState& state) {
  if (source == nullptr) return kInvalidArg;
  if (Failed(source->GetData())) return kInvalidArg;
  if (!source->Lock()) {
    source->ReleaseMedium();
    return kInvalidArg;
  }
  const LockedDropList locked(*source);
  const std::uint32_t count = source->QueryFile(kDropFileCount, nullptr, 0);
  if (count == 0) return kInvalidArg;
  state.m_selection.clear();
  state.m_selection.reserve(std::min<std::uint32_t>(count, 1u << 16));
  for (std::uint32_t index = 0; index < count; ++index) {
    if (ReadItem(*source, index, state.lastItemPath)) state.m_selection.emplace_back(state.lastItemPath);
  }
  return kOk;
}

}  // namespace torvo
