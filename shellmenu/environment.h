#pragma once
// The process environment as the protected-place test sees it: variables, the user's known folders,
// the full and long names of paths, this machine's names, and the platform's rule for file names
// that differ only in letter case.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvo {

// The user's folders that programs rely on, wherever they are kept (redirected to another folder,
// under OneDrive, on a server).
enum class KnownFolder : std::uint8_t {
  kNone,
  kDesktop,
  kDocuments,
  kDownloads,
  kPictures,
  kMusic,
  kVideos,
  kFavorites,
  kStartMenu,
  kRoamingAppData,
  kLocalAppData,
};

class Environment {
 public:
  virtual ~Environment() = default;

  // ExpandEnvironmentStringsW: the source with each %NAME% replaced by the value of NAME (names
  // without regard to case); unset names and a lone '%' stay as written. Nothing on failure.
  virtual std::optional<std::u16string> ExpandVariables(const char16_t* source) const = 0;

  // SHGetKnownFolderPath(KF_FLAG_DONT_VERIFY): where the folder is now for the calling user;
  // nothing when it has no path (kNone included) or cannot be read.
  virtual std::optional<std::u16string> KnownFolderPath(KnownFolder folder) const = 0;

  // GetLongPathNameW: the path with every short (8.3) name in it replaced by its long name; nothing
  // when the path does not exist or cannot be read.
  virtual std::optional<std::u16string> LongPathName(const std::u16string& path) const = 0;

  // GetFileAttributesW: true when the path names an item that exists and is no folder (its
  // attributes lack FILE_ATTRIBUTE_DIRECTORY); false for a folder and when the attributes cannot be
  // read (no such item, no access).
  virtual bool NamesAFile(const std::u16string& path) const = 0;

  // GetFullPathNameW: the path as Windows opens it, against the process's current folders for a
  // relative or drive-relative one: "." and ".." resolved, separators doubled or forward read as
  // one backslash, the last name's trailing dots and blanks dropped. Nothing on failure.
  virtual std::optional<std::u16string> FullPathName(const std::u16string& path) const = 0;

  // GetComputerNameExW: the names this machine answers to on the network: its NetBIOS name, its
  // DNS host name and its fully qualified DNS name (those it has).
  virtual std::vector<std::u16string> ComputerNames() const = 0;

  // iswspace: whether the platform classifies the code unit as white space.
  virtual bool IsSpace(char16_t unit) const = 0;

  // CompareStringOrdinal with its ignore-case flag: true when both texts have the same length and
  // each code unit equals the other's once both are upper-cased as Windows upper-cases file names
  // (non-ASCII letters too), the way the file system compares names.
  virtual bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) const = 0;
  // FindStringOrdinal with its ignore-case flag: whether `part` occurs in `text` by the same rule.
  // An empty part occurs in every text.
  virtual bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view part) const = 0;
};

}  // namespace torvo
