#include "shellmenu/selection.h"

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "shellmenu/drop_list_reader.h"
#include "shellmenu/vault_move.h"

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

// The item's path, or empty when the block ends inside of it: such an item is not delivered. A
// wide item that could not be selected anyway is not decoded.
std::u16string ItemPath(const DropListItem& item, bool wide, DropFiles& source) {
  if (!item.whole) return {};
  if (!wide) return AnsiItemPath(item, source);
  if (item.units >= kMaxPath) return {};
  return WideItemPath(item);
}

// The rules of both entry points. Items come in the shell's order and stay in it, duplicates kept;
// an item that is no movable path (not delivered, too long, a wildcard) is left out. The new list is built
// aside: the state changes only once every item has been read.
class SelectionBuilder {
 public:
  void Add(std::u16string path) {
    ++named_;
    lastDelivered_ = IsMovablePath(path);
    if (lastDelivered_) selection_.push_back(std::move(path));
  }

  // kInvalidArg, the state unchanged, when no item was named at all.
  HResult CommitTo(HandlerState& state) {
    if (named_ == 0) return kInvalidArg;
    state.noneLeftOut = selection_.size() == named_;
    state.m_selection.swap(selection_);
    const std::u16string_view last = lastDelivered_ ? std::u16string_view(state.m_selection.back()) : u"";
    std::fill(std::begin(state.lastItemPath), std::end(state.lastItemPath), u'\0');
    std::copy(last.begin(), last.end(), state.lastItemPath);
    return kOk;
  }

 private:
  std::vector<std::u16string> selection_;
  std::size_t named_ = 0;
  bool lastDelivered_ = false;
};

}  // namespace

HResult CaptureSelection(DropFiles* source, HandlerState& state) {
  if (source == nullptr) return kInvalidArg;
  const std::optional<std::span<const std::uint8_t>> block = source->LockDropList();
  if (!block) return kInvalidArg;
  std::optional<DropListReader> reader = DropListReader::Open(*block);
  if (!reader) return kInvalidArg;

  SelectionBuilder selection;
  while (const std::optional<DropListItem> item = reader->Next()) {
    selection.Add(ItemPath(*item, reader->IsWide(), *source));
  }
  return selection.CommitTo(state);
}

HResult CaptureItemSelection(ItemArray* items, HandlerState& state) {
  if (items == nullptr) return kInvalidArg;
  // In COM's surrogate the array lives in Explorer: every item asked on its own costs two calls
  // across processes, the data object's list one.
  DropFiles* dataObject = items->DataObject();
  if (dataObject != nullptr && CaptureSelection(dataObject, state) == kOk) {
    // The list holds only the items that have a file-system path: the others were left out.
    if (state.m_selection.size() != items->Count()) state.noneLeftOut = false;
    return kOk;
  }
  SelectionBuilder selection;
  const std::uint32_t count = items->Count();
  for (std::uint32_t index = 0; index < count; ++index) {
    selection.Add(items->FileSystemPath(index).value_or(std::u16string()));
  }
  return selection.CommitTo(state);
}

}  // namespace torvo
