#include "shellmenu/movable_path.h"

#include <optional>

#include "common/text.h"

namespace torvo {

namespace {

// What follows "server\share\" in what follows a UNC path's two backslashes; nothing when the
// server or the share is missing.
std::optional<std::u16string_view> AfterShare(std::u16string_view unc) {
  const std::size_t hostEnd = unc.find(u'\\');
  if (hostEnd == std::u16string_view::npos || hostEnd == 0) return std::nullopt;
  const std::size_t shareEnd = unc.find(u'\\', hostEnd + 1);
  if (shareEnd == hostEnd + 1) return std::nullopt;
  return shareEnd == std::u16string_view::npos ? u"" : unc.substr(shareEnd + 1);
}

// What follows the root of an absolute path ("X:\", "\\server\share\"); nothing for any other path.
// The device forms ("\\?\", "\\.\") are no such path: the shell's file operation does not take them.
std::optional<std::u16string_view> AfterRoot(std::u16string_view path) {
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == u':' && path[2] == u'\\') return path.substr(3);
  if (!path.starts_with(u"\\\\") || path.starts_with(u"\\\\.\\")) return std::nullopt;
  return AfterShare(path.substr(2));
}

// A name the file system keeps as written: present, not ending in a dot or a blank.
bool IsKeptName(std::u16string_view name) { return !name.empty() && name.back() != u'.' && name.back() != u' '; }

}  // namespace

bool IsMovablePath(std::u16string_view path) {
  if (path.empty() || path.size() >= kMaxPath) return false;
  if (path.find_first_of(std::u16string_view(u"\0*?/", 4)) != std::u16string_view::npos) return false;
  const std::optional<std::u16string_view> rest = AfterRoot(path);
  if (!rest || rest->find(u':') != std::u16string_view::npos) return false;
  if (rest->empty()) return !path.ends_with(u'\\');  // a share's root; a drive's root is no item
  for (std::size_t at = 0; at <= rest->size();) {
    const std::size_t end = std::min(rest->find(u'\\', at), rest->size());
    if (!IsKeptName(rest->substr(at, end - at))) return false;
    at = end + 1;
  }
  return true;
}

}  // namespace torvo
