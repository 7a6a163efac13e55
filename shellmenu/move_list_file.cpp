#include "shellmenu/move_list_file.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace torvo {

namespace {

inline constexpr std::uint32_t kTempBufferUnits = 512;
// Names tried before giving up: each is taken only when another file already has it.
inline constexpr int kNameAttempts = 16;
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

// One WriteFile per record; false when the platform reports failure or memory runs out.
bool WriteRecords(const std::vector<std::u16string>& paths, WritableFile& file) {
  try {
    std::vector<unsigned char> record;
    for (const std::u16string& path : paths) {
      FormRecord(path, record);
      if (record.size() > std::numeric_limits<std::uint32_t>::max()) return false;
      if (!file.Write(record.data(), static_cast<std::uint32_t>(record.size()))) return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// A new file of our own: a name the platform forms from a number nobody foresees, created only
// when nothing is there. The file is never opened by name again, so a link planted at the name
// between two calls is never followed.
std::unique_ptr<WritableFile> CreateListFile(TempFiles& files, const char16_t* folder, char16_t* name) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::uint32_t unique = files.NameNumber() % 0xFFFFu + 1;  // 1 to 0xFFFF: 0 would create a file
    if (files.TempFileName(folder, kMoveListPrefix, unique, name) == 0) return nullptr;
    std::unique_ptr<WritableFile> file = files.CreateNew(name);
    if (file) return file;
  }
  return nullptr;
}

std::u16string WriteInto(const HandlerState& state, TempFiles& files) {
  char16_t folder[kTempBufferUnits] = {};
  const std::uint32_t folderUnits = files.TempFolder(kTempBufferUnits, folder);
  if (folderUnits == 0 || folderUnits > kTempBufferUnits) return {};

  char16_t name[kTempBufferUnits] = {};
  bool written = false;
  {
    const std::unique_ptr<WritableFile> file = CreateListFile(files, folder, name);
    if (!file) return {};
    written = WriteRecords(state.m_selection, *file);
  }  // closed here, before the name is handed on or the file removed
  if (written) return std::u16string(name);
  files.RemoveFile(name);  // a list written part way is never handed over
  return {};
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
