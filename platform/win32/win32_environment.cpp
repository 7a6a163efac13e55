#include "platform/win32/win32_environment.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cwctype>

#include "common/text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace torvo::win32 {

std::optional<std::u16string> Win32Environment::ExpandVariables(const char16_t* source) const {
  // One call for what fits a path buffer, as nearly every expansion does. A longer one is asked for
  // again at the size the platform named; the environment may change between the calls, so an
  // answer that still does not fit is asked for once more.
  std::u16string expanded(kMaxPath, u'\0');
  DWORD units = ::ExpandEnvironmentStringsW(AsWide(source), AsWide(expanded.data()), kMaxPath);
  for (int attempt = 0; attempt < 3 && units != 0; ++attempt) {
    if (units <= expanded.size()) {
      expanded.resize(units - 1);  // the terminator
      return expanded;
    }
    expanded.resize(units);
    units = ::ExpandEnvironmentStringsW(AsWide(source), AsWide(expanded.data()), units);
  }
  return std::nullopt;
}

namespace {

const KNOWNFOLDERID* FolderId(KnownFolder folder) {
  switch (folder) {
    case KnownFolder::kDesktop:
      return &FOLDERID_Desktop;
    case KnownFolder::kDocuments:
      return &FOLDERID_Documents;
    case KnownFolder::kDownloads:
      return &FOLDERID_Downloads;
    case KnownFolder::kPictures:
      return &FOLDERID_Pictures;
    case KnownFolder::kMusic:
      return &FOLDERID_Music;
    case KnownFolder::kVideos:
      return &FOLDERID_Videos;
    case KnownFolder::kFavorites:
      return &FOLDERID_Favorites;
    case KnownFolder::kStartMenu:
      return &FOLDERID_StartMenu;
    case KnownFolder::kRoamingAppData:
      return &FOLDERID_RoamingAppData;
    case KnownFolder::kLocalAppData:
      return &FOLDERID_LocalAppData;
    case KnownFolder::kNone:
      break;
  }
  return nullptr;
}

std::optional<std::u16string> ReadKnownFolderPath(const KNOWNFOLDERID* id) {
  // Not verified: the folder's place is what counts, whether or not it exists right now.
  PWSTR path = nullptr;
  const HRESULT hr = ::SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path);
  const CoTaskMemory<wchar_t> owner(path);
  if (FAILED(hr) || path == nullptr) return std::nullopt;
  return std::u16string(AsUtf16(path));
}

}  // namespace

std::optional<std::u16string> Win32Environment::KnownFolderPath(KnownFolder folder) const {
  const KNOWNFOLDERID* id = FolderId(folder);
  if (id == nullptr) return std::nullopt;
  if (knownFolders_ == nullptr) return ReadKnownFolderPath(id);
  return knownFolders_->Path(folder, [id] { return ReadKnownFolderPath(id); });
}

namespace {

// A path read by a call of the GetLongPathNameW kind (source, buffer, units): one call for what fits
// a path buffer, a second at the size the first named (terminator included). Nothing on failure or
// when the answer outgrew the second buffer.
template <typename Read>
std::optional<std::u16string> PathRead(const std::u16string& path, Read read) {
  std::u16string answer(kMaxPath, u'\0');
  DWORD units = read(AsWide(path.c_str()), AsWide(answer.data()), kMaxPath);
  if (units >= kMaxPath) {
    answer.resize(units);
    units = read(AsWide(path.c_str()), AsWide(answer.data()), units);
  }
  if (units == 0 || units >= answer.size()) return std::nullopt;
  answer.resize(units);
  return answer;
}

// One of the machine's names; nothing when it has none of that kind.
std::optional<std::u16string> ComputerName(COMPUTER_NAME_FORMAT format) {
  DWORD units = 0;
  ::GetComputerNameExW(format, nullptr, &units);  // the size needed, terminator included
  if (units == 0) return std::nullopt;
  std::u16string name(units, u'\0');
  if (!::GetComputerNameExW(format, AsWide(name.data()), &units) || units == 0) return std::nullopt;
  name.resize(units);
  return name;
}

}  // namespace

bool Win32Environment::NamesAFile(const std::u16string& path) const {
  const DWORD attributes = ::GetFileAttributesW(AsWide(path.c_str()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::optional<std::u16string> Win32Environment::LongPathName(const std::u16string& path) const {
  return PathRead(path,
                  [](LPCWSTR source, LPWSTR buffer, DWORD units) { return ::GetLongPathNameW(source, buffer, units); });
}

std::optional<std::u16string> Win32Environment::FullPathName(const std::u16string& path) const {
  return PathRead(path, [](LPCWSTR source, LPWSTR buffer, DWORD units) {
    return ::GetFullPathNameW(source, units, buffer, nullptr);
  });
}

std::vector<std::u16string> Win32Environment::ComputerNames() const {
  std::vector<std::u16string> names;
  for (const COMPUTER_NAME_FORMAT format :
       {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
    if (std::optional<std::u16string> name = ComputerName(format)) names.push_back(std::move(*name));
  }
  return names;
}

bool Win32Environment::IsSpace(char16_t unit) const { return std::iswspace(unit) != 0; }

bool Win32Environment::EqualIgnoringCase(std::u16string_view a, std::u16string_view b) const {
  return ::CompareStringOrdinal(AsWide(a.data()), static_cast<int>(a.size()), AsWide(b.data()),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// FindStringOrdinal answers -1 for an empty part; an empty text occurs everywhere.
bool Win32Environment::ContainsIgnoringCase(std::u16string_view text, std::u16string_view part) const {
  if (part.empty()) return true;
  return ::FindStringOrdinal(FIND_FROMSTART, AsWide(text.data()), static_cast<int>(text.size()), AsWide(part.data()),
                             static_cast<int>(part.size()), TRUE) >= 0;
}

}  // namespace torvo::win32
