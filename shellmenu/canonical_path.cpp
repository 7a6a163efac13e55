#include "shellmenu/canonical_path.h"

#include <algorithm>
#include <optional>

#include "common/text.h"
#include "shellmenu/machine_names.h"

namespace torvo {

namespace {

constexpr std::u16string_view kDevicePrefixes[] = {u"\\\\?\\", u"\\\\.\\"};

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix, const Environment& environment) {
  return text.size() >= prefix.size() && environment.EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::u16string_view Trimmed(std::u16string_view text, const Environment& environment) {
  while (!text.empty() && environment.IsSpace(text.back())) text.remove_suffix(1);
  while (!text.empty() && environment.IsSpace(text.front())) text.remove_prefix(1);
  return text;
}

// Whether the path begins with a drive: "C:" and a backslash or nothing more.
bool IsDrivePath(std::u16string_view path) {
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == u':' && (path.size() == 2 || path[2] == u'\\');
}

// A device path of a drive or a share as the path it names ("\\?\UNC\server\share" and
// "\\.\UNC\server\share" as "\\server\share", "\\?\C:\x" and "\\.\C:\x" as "C:\x"); nothing for any
// other device path (GLOBALROOT, Volume{...}, pipes), which names no folder of a drive.
std::optional<std::u16string> WithoutDevicePrefix(const std::u16string& path, const Environment& environment) {
  for (std::u16string_view prefix : kDevicePrefixes) {
    if (!path.starts_with(prefix)) continue;
    const std::u16string_view rest = std::u16string_view(path).substr(prefix.size());
    if (StartsWithIgnoringCase(rest, u"UNC\\", environment)) return u"\\\\" + std::u16string(rest.substr(4));
    if (IsDrivePath(rest)) return std::u16string(rest);
    return std::nullopt;
  }
  return path;
}

// The folder an administrative share of this machine is: "C$" the drive's root, "ADMIN$" the
// Windows folder; nothing for any other share.
std::optional<std::u16string> ShareFolder(std::u16string_view share, const Environment& environment) {
  if (share.size() == 2 && IsAsciiLetter(share[0]) && share[1] == u'$') return std::u16string{share[0], u':'};
  if (!environment.EqualIgnoringCase(share, u"ADMIN$")) return std::nullopt;
  std::optional<std::u16string> windows = environment.ExpandVariables(u"%SystemRoot%");
  if (!windows || windows->empty() || windows->find(u'%') != std::u16string::npos) return std::nullopt;
  return windows;
}

// "\\<this machine>\C$\rest" as "C:\rest", "\\<this machine>\ADMIN$\rest" as the Windows folder's
// "rest"; any other path as it is.
std::u16string WithAdministrativeShareAsFolder(std::u16string path, const Environment& environment) {
  if (!path.starts_with(u"\\\\")) return path;
  const std::size_t hostEnd = path.find(u'\\', 2);
  if (hostEnd == std::u16string::npos) return path;
  const std::size_t shareEnd = std::min(path.find(u'\\', hostEnd + 1), path.size());
  const std::u16string_view share = std::u16string_view(path).substr(hostEnd + 1, shareEnd - hostEnd - 1);
  std::optional<std::u16string> folder = ShareFolder(share, environment);
  if (!folder || !IsThisMachine(std::u16string_view(path).substr(2, hostEnd - 2), environment)) return path;
  while (!folder->empty() && folder->back() == u'\\') folder->pop_back();
  return *folder + u"\\" + (shareEnd < path.size() ? path.substr(shareEnd + 1) : std::u16string());
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
  std::u16string written(Trimmed(path, environment));
  if (written.empty()) return written;
  std::replace(written.begin(), written.end(), u'/', u'\\');
  const std::optional<std::u16string> named = WithoutDevicePrefix(written, environment);
  if (!named) return written;
  std::u16string canonical = environment.FullPathName(*named).value_or(*named);
  canonical = WithAdministrativeShareAsFolder(std::move(canonical), environment);
  RemoveTrailingDotsBlanksAndBackslashes(canonical);
  if (canonical.find(u'~') == std::u16string::npos) return canonical;
  std::optional<std::u16string> longName = environment.LongPathName(canonical);
  if (!longName) return canonical;
  RemoveTrailingDotsBlanksAndBackslashes(*longName);
  return *longName;
}

std::vector<std::u16string> WithoutRepeatedItems(const std::vector<std::u16string>& paths,
                                                 const Environment& environment) {
  std::vector<std::u16string> kept;
  std::vector<std::u16string> forms;
  for (const std::u16string& path : paths) {
    std::u16string form = CanonicalPath(path, environment);
    const auto sameItem = [&](const std::u16string& earlier) { return environment.EqualIgnoringCase(earlier, form); };
    if (std::any_of(forms.begin(), forms.end(), sameItem)) continue;
    forms.push_back(std::move(form));
    kept.push_back(path);
  }
  return kept;
}

bool IsOnDrive(std::u16string_view canonical, char16_t letter) {
  return IsDrivePath(canonical) && FoldAscii(canonical[0]) == FoldAscii(letter);
}

}  // namespace torvo
