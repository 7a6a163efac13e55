#include "shellmenu/program_launch.h"

#include <algorithm>
#include <string>

namespace torvo {

namespace {

// Units of the folder part of a full path, as PathRemoveFileSpecW leaves it: the text before the
// last backslash, except that the backslash of a drive root ("C:\") stays.
std::size_t FolderLength(std::u16string_view path) {
  const std::size_t slash = path.rfind(u'\\');
  if (slash == std::u16string_view::npos) return 0;
  if (slash > 0 && path[slash - 1] == u':') return slash + 1;
  return slash;
}

// A folder that names one place whatever the current directory: "X:\..." or "\\server...".
bool IsAbsoluteFolder(std::u16string_view folder) {
  if (folder.size() >= 3 && folder[1] == u':' && folder[2] == u'\\') return true;
  return folder.size() > 2 && folder[0] == u'\\' && folder[1] == u'\\';
}

// PathAppendW on the buffer: one backslash between folder and name. False, with the buffer left
// as it was, when the result would not fit.
bool AppendName(char16_t (&path)[kMaxPath], std::size_t folderUnits, std::u16string_view name) {
  const bool separator = folderUnits == 0 || path[folderUnits - 1] != u'\\';
  const std::size_t end = folderUnits + (separator ? 1 : 0);
  if (end + name.size() >= kMaxPath) return false;
  if (separator) path[folderUnits] = u'\\';
  std::copy(name.begin(), name.end(), path + end);
  path[end + name.size()] = u'\0';
  return true;
}

}  // namespace

bool FindProgramBesideOwnModule(ProgramStarter& starter, std::u16string_view name, char16_t (&path)[kMaxPath]) {
  std::fill(std::begin(path), std::end(path), u'\0');
  const std::uint32_t units = starter.GetOwnModulePath(path, kMaxPath);
  if (units == 0 || units >= kMaxPath) return false;  // unreadable, or cut at the buffer's end
  const std::size_t folderUnits = FolderLength(std::u16string_view(path, units));
  if (!IsAbsoluteFolder(std::u16string_view(path, folderUnits))) return false;
  return AppendName(path, folderUnits, name);
}

bool StartProgram(ProgramStarter& starter, const char16_t* file, std::u16string_view parameters) {
  // A path of the platform's own making holds no double quote, so quoting it needs no escapes.
  std::u16string commandLine = u"\"";
  commandLine.append(file).append(u"\" ").append(parameters);
  const StartOutcome outside = starter.StartOutsidePackage(file, commandLine.c_str());
  if (outside == StartOutcome::kStarted) return true;
  // A program that asks for elevation is not started through the shell, which would ask the user.
  if (outside == StartOutcome::kNeedsElevation) return false;
  const std::u16string plain(parameters);
  return starter.Start(file, plain.c_str());
}

}  // namespace torvo
