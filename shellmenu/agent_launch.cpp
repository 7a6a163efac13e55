#include "shellmenu/agent_launch.h"

#include <new>

#include "common/text.h"
#include "shellmenu/move_list_file.h"
#include "shellmenu/program_launch.h"

namespace torvo {

namespace {

// "/_loginmove" and the list file's path in double quotes; an empty path gives "" after the space.
std::u16string LoginMoveParameters(const std::u16string& listPath) {
  std::u16string parameters(kLoginMoveSwitch);
  parameters += u" \"";
  parameters += listPath;
  parameters += u'"';
  return parameters;
}

}  // namespace

bool StartAgentWithListFile(const std::u16string& listPath, ProgramStarter& starter, bool noUi) {
  char16_t executable[kMaxPath];
  if (!FindProgramBesideOwnModule(starter, kAgentExecutableName, executable)) return false;
  if (noUi && !starter.Exists(executable)) return false;  // the shell would say that it cannot find it
  return StartProgram(starter, executable, LoginMoveParameters(listPath));
}

HResult LaunchAgentWithList(const HandlerState& state, ProgramStarter& starter, TempFiles& files, bool noUi) {
  try {
    char16_t executable[kMaxPath];
    if (!FindProgramBesideOwnModule(starter, kAgentExecutableName, executable)) return kOk;
    if (noUi && !starter.Exists(executable)) return kOk;
    // The agent is started even without a list file; it then receives an empty quoted path.
    const std::u16string listPath = WriteMoveListFile(state, files);
    if (!StartProgram(starter, executable, LoginMoveParameters(listPath)) && !listPath.empty()) {
      files.RemoveFile(listPath.c_str());  // nobody will read it: no list of the user's paths stays
    }
    return kOk;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
