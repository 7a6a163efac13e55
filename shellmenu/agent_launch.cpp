#include "shellmenu/agent_launch.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

#include "common/text.h"
#include "shellmenu/move_list_file.h"

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

// The agent executable in the DLL's own folder. False when the DLL's path cannot be read whole or
// yields no absolute folder: the agent is never started by a name the search path would resolve.
bool FindAgentExecutable(ProgramStarter& starter, char16_t (&path)[kMaxPath]) {
  std::fill(std::begin(path), std::end(path), u'\0');
  const std::uint32_t units = starter.GetOwnModulePath(path, kMaxPath);
  if (units == 0 || units >= kMaxPath) return false;  // unreadable, or cut at the buffer's end
  const std::size_t folderUnits = FolderLength(std::u16string_view(path, units));
  if (!IsAbsoluteFolder(std::u16string_view(path, folderUnits))) return false;
  return AppendName(path, folderUnits, kAgentExecutableName);
}

// "/_loginmove" and the list file's path in double quotes; an empty path gives "" after the space.
std::u16string LoginMoveParameters(const std::u16string& listPath) {
  std::u16string parameters(kLoginMoveSwitch);
  parameters += u" \"";
  parameters += listPath;
  parameters += u'"';
  return parameters;
}

}  // namespace

HResult LaunchAgentWithList(const HandlerState& state, ProgramStarter& starter, TempFiles& files) {
  try {
    char16_t executable[kMaxPath];
    if (!FindAgentExecutable(starter, executable)) return kOk;
    // The agent is started even without a list file; it then receives an empty quoted path.
    const std::u16string parameters = LoginMoveParameters(WriteMoveListFile(state, files));
    starter.Start(executable, parameters.c_str());
    return kOk;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
