#include "shellmenu/protected_paths.h"

#include <string>
#include <string_view>

#include "common/text.h"
#include "shellmenu/canonical_path.h"

namespace torvo {

// Rows 11, 12 and 15 are the Simplified Chinese names of a profile's Start menu, desktop and
// favourites folders. In a 32-bit process on 64-bit Windows, ProgramFiles and CommonProgramFiles
// name the 32-bit folders, "C:\Program Files (x86)" and its Common Files; rows 46 to 49 name both
// pairs by the variables that mean the same folder in 32- and 64-bit processes, so that both DLLs
// protect the same places. On 32-bit Windows those variables are unset and their rows match no
// real path. Rows 50 to 59 are the user's known folders themselves, wherever Windows keeps them
// now; the folders below them keep their item.
constinit const std::array<ProtectedPathEntry, kProtectedPathCount> g_protectedPaths = {{
    {u"%SystemDrive%\\", PATH_MATCH_EQUAL},
    {u"%ProgramFiles%", PATH_MATCH_EQUAL},
    {u"%CommonProgramFiles%", PATH_MATCH_CONTAINS},
    {u"%SystemDrive%\\Documents and Settings", PATH_MATCH_EQUAL},
    {u"%SystemDrive%\\Documents and Settings\\All Users", PATH_MATCH_EQUAL},
    {u"%SystemDrive%\\Users", PATH_MATCH_EQUAL},
    {u"%SystemDrive%\\Users\\Public", PATH_MATCH_EQUAL},
    {u"%SYSTEMROOT%", PATH_MATCH_CONTAINS},
    {u"%USERPROFILE%", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\My Documents", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\\u300C\u5F00\u59CB\u300D\u83DC\u5355", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\\u684C\u9762", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\Desktop", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\Cookies", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\\u6536\u85CF\u5939", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\Contacts", PATH_MATCH_EQUAL},
    {u"%USERPROFILE%\\Links", PATH_MATCH_EQUAL},
    {u"%ALLUSERSPROFILE%", PATH_MATCH_EQUAL},
    {u"%APPDATA%", PATH_MATCH_EQUAL},
    {u"A:\\", PATH_MATCH_EQUAL},
    {u"B:\\", PATH_MATCH_EQUAL},
    {u"C:\\", PATH_MATCH_EQUAL},
    {u"D:\\", PATH_MATCH_EQUAL},
    {u"E:\\", PATH_MATCH_EQUAL},
    {u"F:\\", PATH_MATCH_EQUAL},
    {u"G:\\", PATH_MATCH_EQUAL},
    {u"H:\\", PATH_MATCH_EQUAL},
    {u"I:\\", PATH_MATCH_EQUAL},
    {u"J:\\", PATH_MATCH_EQUAL},
    {u"K:\\", PATH_MATCH_EQUAL},
    {u"L:\\", PATH_MATCH_EQUAL},
    {u"M:\\", PATH_MATCH_EQUAL},
    {u"N:\\", PATH_MATCH_EQUAL},
    {u"O:\\", PATH_MATCH_EQUAL},
    {u"P:\\", PATH_MATCH_EQUAL},
    {u"Q:\\", PATH_MATCH_EQUAL},
    {u"R:\\", PATH_MATCH_EQUAL},
    {u"S:\\", PATH_MATCH_EQUAL},
    {u"T:\\", PATH_MATCH_EQUAL},
    {u"U:\\", PATH_MATCH_EQUAL},
    {u"V:\\", PATH_MATCH_EQUAL},
    {u"W:\\", PATH_MATCH_EQUAL},
    {u"X:\\", PATH_MATCH_EQUAL},
    {u"Y:\\", PATH_MATCH_EQUAL},
    {u"Z:\\", PATH_MATCH_EQUAL},
    {u"%ProgramW6432%", PATH_MATCH_EQUAL},
    {u"%ProgramFiles(x86)%", PATH_MATCH_EQUAL},
    {u"%CommonProgramW6432%", PATH_MATCH_CONTAINS},
    {u"%CommonProgramFiles(x86)%", PATH_MATCH_CONTAINS},
    {u"FOLDERID_Desktop", PATH_MATCH_EQUAL, KnownFolder::kDesktop},
    {u"FOLDERID_Documents", PATH_MATCH_EQUAL, KnownFolder::kDocuments},
    {u"FOLDERID_Downloads", PATH_MATCH_EQUAL, KnownFolder::kDownloads},
    {u"FOLDERID_Pictures", PATH_MATCH_EQUAL, KnownFolder::kPictures},
    {u"FOLDERID_Music", PATH_MATCH_EQUAL, KnownFolder::kMusic},
    {u"FOLDERID_Videos", PATH_MATCH_EQUAL, KnownFolder::kVideos},
    {u"FOLDERID_Favorites", PATH_MATCH_EQUAL, KnownFolder::kFavorites},
    {u"FOLDERID_StartMenu", PATH_MATCH_EQUAL, KnownFolder::kStartMenu},
    {u"FOLDERID_RoamingAppData", PATH_MATCH_EQUAL, KnownFolder::kRoamingAppData},
    {u"FOLDERID_LocalAppData", PATH_MATCH_EQUAL, KnownFolder::kLocalAppData},
}};

namespace {

// Both kinds compare as Windows compares file names: ordinal, without regard to letter case.
bool RowMatches(const Environment& environment, std::int32_t match, std::u16string_view path,
                std::u16string_view expanded) {
  switch (match) {
    case PATH_MATCH_CONTAINS:
      return environment.ContainsIgnoringCase(path, expanded);
    case PATH_MATCH_EQUAL:
      return path.size() == expanded.size() && environment.EqualIgnoringCase(path, expanded);
    default:
      return false;
  }
}

}  // namespace

std::optional<std::u16string> ExpandRow(const ProtectedPathEntry& row, const Environment& environment) {
  if (row.folder != KnownFolder::kNone) return environment.KnownFolderPath(row.folder);
  return environment.ExpandVariables(row.strPattern);
}

bool ExpandedProtectedPaths::Usable(std::size_t row) {
  if (folders_ == KnownFolderRows::kLeftOut && g_protectedPaths[row].folder != KnownFolder::kNone) return false;
  if (rows_[row] == Row::kNotExpanded) {
    std::optional<std::u16string> expanded = ExpandRow(g_protectedPaths[row], environment_);
    // A failed expansion, or one that would not fit a path buffer, matches nothing.
    const bool usable = expanded && expanded->size() < kMaxPath;
    if (usable) expanded_[row] = std::move(*expanded);
    rows_[row] = usable ? Row::kUsable : Row::kUnusable;
  }
  return rows_[row] == Row::kUsable;
}

std::optional<std::size_t> ExpandedProtectedPaths::MatchingRow(std::u16string_view working) {
  for (std::size_t row = 0; row < kProtectedPathCount; ++row) {
    if (Usable(row) && RowMatches(environment_, g_protectedPaths[row].nMatch, working, expanded_[row])) return row;
  }
  return std::nullopt;
}

std::int32_t IsProtectedPath(const Environment& environment, const char16_t* path) {
  if (path == nullptr) return 0;
  return ExpandedProtectedPaths(environment).MatchingRow(CanonicalPath(path, environment)) ? 1 : 0;
}

}  // namespace torvo
