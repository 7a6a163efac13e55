#include "shellmenu/move_list_file.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace torvo {

namespace {

inline constexpr std::uint32_t kTempBufferUnits = 512;
inline constexpr char16_t kMoveListPrefix[] = u"m2m";
inline constexpr char16_t kLineFeed = u'\n';

// The path followed by a line feed, as UTF-16LE bytes whatever the host's byte order.
void FormRecord(const std::u16string& path, std::vector<unsigned char>& record) {
  record.clear();
  record.reserve(2 * (path.size() + 1));
  const auto append = [&record](char16_t unit) {
    record.push_back(static_cast<unsigned char>(unit & 0xFFu));
    record.push_back(static_cast<unsigned char>(unit >> 8));
  };
  for (char16_t unit : path) append(unit);
  append(kLineFeed);
}

// One WriteFile per record; false when the platform reports failure.
bool WriteRecords(const std::vector<std::u16string>& paths, WritableFile& file) {
  std::vector<unsigned char> record;
  for (const std::u16string& path : paths) {
    FormRecord(path, record);
    if (record.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    if (!file.Write(record.data(), static_cast<std::uint32_t>(record.size()))) return false;
  }
  return true;
}

std::u16string WriteInto(const HandlerState& state, TempFiles& files) {
  char16_t folder[kTempBufferUnits] = {};
  const std::uint32_t folderUnits = files.TempFolder(kTempBufferUnits, folder);
  if (folderUnits == 0 || folderUnits > kTempBufferUnits) return {};

  // With the number 0 the platform picks the name and creates the file, empty.
  char16_t name[kTempBufferUnits] = {};
  if (files.CreateUniqueFile(folder, kMoveListPrefix, 0, name) == 0) return {};

  {
    const std::unique_ptr<WritableFile> file = files.CreateForWriting(name);
    if (!file) return {};
    if (!WriteRecords(state.m_selection, *file)) return {};
  }  // closed here, before the name is handed on
  return std::u16string(name);
}

}  // namespace

std::optional<std::vector<std::u16string>> ParseMoveList(std::span<const std::uint8_t> bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::vector<std::u16string> records;
  std::u16string record;
  for (std::size_t at = 0; at < bytes.size(); at += 2) {
    const auto unit = static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8);
    if (unit != kLineFeed) {
      record += unit;
      continue;
    }
    records.push_back(std::move(record));
    record.clear();
  }
  if (!record.empty()) return std::nullopt;
  return records;
}

std::u16string WriteMoveListFile(const HandlerState& state, TempFiles& files) {
  try {
    return WriteInto(state, files);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace torvo
