#include "shellmenu/selection.h"

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "shellmenu/drop_list_reader.h"

namespace torvo {

namespace {

// A UTF-16 item, decoded from its little-endian byte pairs (the block need not be aligned).
std::u16string WideItemPath(const DropListItem& item) {
  std::u16string path(item.units, u'\0');
  for (std::size_t i = 0; i < item.units; ++i) {
    path[i] = static_cast<char16_t>(item.first[2 * i] | item.first[2 * i + 1] << 8);
  }
  return path;
}

// An ANSI item, converted as the platform converts it; empty when its UTF-16 form does not fit.
std::u16string AnsiItemPath(const DropListItem& item, DropFiles& source) {
  if (item.units > INT_MAX) return {};
  char16_t converted[kMaxPath - 1];
  const std::uint32_t units = source.AnsiToUtf16(reinterpret_cast<const char*>(item.first),
                                                 static_cast<std::uint32_t>(item.units), converted, kMaxPath - 1);
  return std::u16string(converted, std::min<std::size_t>(units, kMaxPath - 1));
}

// The item's path, or empty when it is left out: an item that the block ends inside of, and a path
// of 260 units or more, which would arrive cut and might name another item.
std::u16string ItemPath(const DropListItem& item, bool wide, DropFiles& source) {
  if (!item.whole) return {};
  if (!wide) return AnsiItemPath(item, source);
  if (item.units >= kMaxPath) return {};
  return WideItemPath(item);
}

void SetLastItemPath(HandlerState& state, std::u16string_view path) {
  std::fill(std::begin(state.lastItemPath), std::end(state.lastItemPath), u'\0');
  std::copy(path.begin(), path.end(), state.lastItemPath);
}

}  // namespace

HResult CaptureSelection(DropFiles* source, HandlerState& state) {
  if (source == nullptr) return kInvalidArg;
  const std::optional<std::span<const std::uint8_t>> block = source->LockDropList();
  if (!block) return kInvalidArg;
  std::optional<DropListReader> reader = DropListReader::Open(*block);
  if (!reader) return kInvalidArg;

  // The new list is built aside: the state changes only once the whole block has been read.
  std::vector<std::u16string> selection;
  std::size_t named = 0;
  bool lastDelivered = false;
  while (const std::optional<DropListItem> item = reader->Next()) {
    ++named;
    std::u16string path = ItemPath(*item, reader->IsWide(), *source);
    lastDelivered = !path.empty();
    if (lastDelivered) selection.push_back(std::move(path));
  }
  if (named == 0) return kInvalidArg;

  state.m_selection.swap(selection);
  SetLastItemPath(state, lastDelivered ? std::u16string_view(state.m_selection.back()) : std::u16string_view());
  return kOk;
}

}  // namespace torvo
