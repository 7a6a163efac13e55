#include "shellmenu/canonical_path.h"

#include <algorithm>
#include <optional>

#include "common/text.h"

namespace torvo {

namespace {

constexpr std::u16string_view kUncPrefix = u"\\\\?\\UNC\\";
constexpr std::u16string_view kLocalPrefixes[] = {u"\\\\?\\", u"\\\\.\\"};

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix, const Environment& environment) {
  return text.size() >= prefix.size() && environment.EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::u16string_view Trimmed(std::u16string_view text, const Environment& environment) {
  while (!text.empty() && environment.IsSpace(text.back())) text.remove_suffix(1);
  while (!text.empty() && environment.IsSpace(text.front())) text.remove_prefix(1);
  return text;
}

// "\\?\UNC\server\share" as "\\server\share", "\\?\C:\x" and "\\.\C:\x" as "C:\x".
std::u16string WithoutLongPathPrefix(std::u16string path, const Environment& environment) {
  if (StartsWithIgnoringCase(path, kUncPrefix, environment)) return u"\\\\" + path.substr(kUncPrefix.size());
  for (std::u16string_view prefix : kLocalPrefixes) {
    if (path.starts_with(prefix)) return path.substr(prefix.size());
  }
  return path;
}

// Whether the host of a UNC path names this machine.
bool IsThisMachine(std::u16string_view host, const Environment& environment) {
  if (environment.EqualIgnoringCase(host, u"localhost") || host == u"127.0.0.1") return true;
  const std::optional<std::u16string> name = environment.ExpandVariables(u"%COMPUTERNAME%");
  return name && !name->empty() && name->find(u'%') == std::u16string::npos &&
         environment.EqualIgnoringCase(host, *name);
}

// "\\<this machine>\C$\rest" as "C:\rest"; any other path as it is.
std::u16string WithAdministrativeShareAsDrive(std::u16string path, const Environment& environment) {
  if (!path.starts_with(u"\\\\")) return path;
  const std::size_t hostEnd = path.find(u'\\', 2);
  if (hostEnd == std::u16string::npos) return path;
  const std::size_t shareEnd = std::min(path.find(u'\\', hostEnd + 1), path.size());
  const std::u16string_view share = std::u16string_view(path).substr(hostEnd + 1, shareEnd - hostEnd - 1);
  if (share.size() != 2 || !IsAsciiLetter(share[0]) || share[1] != u'$') return path;
  if (!IsThisMachine(std::u16string_view(path).substr(2, hostEnd - 2), environment)) return path;
  const std::u16string rest = shareEnd < path.size() ? path.substr(shareEnd + 1) : std::u16string();
  return std::u16string{share[0], u':', u'\\'} + rest;
}

bool IsDriveRoot(std::u16string_view path) { return path.size() == 3 && path[1] == u':' && path[2] == u'\\'; }

// Windows drops trailing dots and blanks from a name, and a folder is the same with or without its
// closing backslash; a drive root keeps its backslash.
void RemoveTrailingDotsBlanksAndBackslashes(std::u16string& path) {
  while (!path.empty() && !IsDriveRoot(path) && (path.back() == u'.' || path.back() == u' ' || path.back() == u'\\')) {
    path.pop_back();
  }
}

}  // namespace

std::u16string CanonicalPath(std::u16string_view path, const Environment& environment) {
  std::u16string canonical(Trimmed(path, environment));
  std::replace(canonical.begin(), canonical.end(), u'/', u'\\');
  canonical = WithAdministrativeShareAsDrive(WithoutLongPathPrefix(std::move(canonical), environment), environment);
  RemoveTrailingDotsBlanksAndBackslashes(canonical);
  if (canonical.find(u'~') == std::u16string::npos) return canonical;
  std::optional<std::u16string> longName = environment.LongPathName(canonical);
  if (!longName) return canonical;
  RemoveTrailingDotsBlanksAndBackslashes(*longName);
  return *longName;
}

}  // namespace torvo
