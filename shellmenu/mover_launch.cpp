#include "shellmenu/mover_launch.h"

#include <new>
#include <string>

#include "common/text.h"
#include "shellmenu/agent_launch.h"
#include "shellmenu/move_list_file.h"
#include "shellmenu/program_launch.h"
#include "shellmenu/trusted_agent.h"
#include "shellmenu/vault_move.h"

namespace torvo {

namespace {

// "X:\" unquoted (a backslash before a closing quote would escape it) and the list in quotes,
// after the no-UI switch when it is asked for.
std::u16string MoverParameters(const VaultRoot& root, const std::u16string& listPath, bool noUi) {
  std::u16string parameters = noUi ? std::u16string(kMoverNoUiSwitch) + u' ' : std::u16string();
  parameters += root.data();
  parameters += u" \"";
  parameters += listPath;
  parameters += u'"';
  return parameters;
}

HResult HandToMover(const HandlerState& state, const VaultRoot& root, HandlerPlatform& platform, bool noUi) {
  char16_t executable[kMaxPath];
  if (!FindProgramBesideOwnModule(platform.starter, kMoverExecutableName, executable)) return kFail;
  const std::u16string listPath = WriteMoveListFile(state, platform.tempFiles);
  if (listPath.empty()) return kFail;

  // A mover that is not there is not started: the shell would show its "cannot find" message.
  if (platform.starter.Exists(executable) &&
      StartProgram(platform.starter, executable, MoverParameters(root, listPath, noUi))) {
    return kOk;
  }
  // No mover beside the DLL (or it cannot start): the list is not dropped but handed to the agent, if
  // it is there: the caller starts it itself after a failure here, with the caller's "no UI".
  if (StartAgentWithListFile(listPath, platform.starter, /*noUi=*/true)) return kOk;
  platform.tempFiles.RemoveFile(listPath.c_str());  // nobody will read it: no list of the user's stays
  return kFail;
}

}  // namespace

HResult HandRootToMover(const HandlerState& state, const VaultRoot& root, HandlerPlatform& platform, bool noUi) {
  try {
    return HandToMover(state, root, platform, noUi);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

HResult MoveIntoVaultByMover(const HandlerState& state, HandlerPlatform& platform) {
  try {
    VaultRoot root;
    const HResult found = FindVaultRootFor(state.m_selection, TrustedAgent(platform), platform.mover, root);
    if (found != kOk) return found;
    return HandToMover(state, root, platform, /*noUi=*/false);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
