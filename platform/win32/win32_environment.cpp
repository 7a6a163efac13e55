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

}  // namespace

std::optional<std::u16string> Win32Environment::KnownFolderPath(KnownFolder folder) const {
  const KNOWNFOLDERID* id = FolderId(folder);
  if (id == nullptr) return std::nullopt;
  // Not verified: the folder's place is what counts, whether or not it exists right now.
  PWSTR path = nullptr;
  const HRESULT hr = ::SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path);
  const CoTaskMemory<wchar_t> owner(path);
  if (FAILED(hr) || path == nullptr) return std::nullopt;
  return std::u16string(AsUtf16(path));
}

std::optional<std::u16string> Win32Environment::LongPathName(const std::u16string& path) const {
  std::u16string longName(kMaxPath, u'\0');
  DWORD units = ::GetLongPathNameW(AsWide(path.c_str()), AsWide(longName.data()), kMaxPath);
  if (units >= kMaxPath) {  // the size needed, terminator included
    longName.resize(units);
    units = ::GetLongPathNameW(AsWide(path.c_str()), AsWide(longName.data()), units);
  }
  if (units == 0 || units >= longName.size()) return std::nullopt;
  longName.resize(units);
  return longName;
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
