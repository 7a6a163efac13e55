#include "shellmenu/mover_launch.h"

#include <new>
#include <string>

#include "common/text.h"
#include "shellmenu/agent_launch.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/move_list_file.h"
#include "shellmenu/program_launch.h"
#include "shellmenu/vault_move.h"

namespace torvo {

namespace {

// "X:\" unquoted (a backslash before a closing quote would escape it) and the list in quotes.
std::u16string MoverParameters(const VaultRoot& root, const std::u16string& listPath) {
  std::u16string parameters(root.data());
  parameters += u" \"";
  parameters += listPath;
  parameters += u'"';
  return parameters;
}

HResult HandToMover(const HandlerState& state, AgentChannel& channel, FileMover& mover, ProgramStarter& starter,
                    TempFiles& files) {
  VaultRoot root;
  const HResult found = FindVaultRootFor(state.m_selection, channel, mover, root);
  if (found != kOk) return found;
  char16_t executable[kMaxPath];
  if (!FindProgramBesideOwnModule(starter, kMoverExecutableName, executable)) return kFail;
  const std::u16string listPath = WriteMoveListFile(state, files);
  if (listPath.empty()) return kFail;

  // A mover that is not there is not started: the shell would show its "cannot find" message.
  if (starter.Exists(executable) && StartProgram(starter, executable, MoverParameters(root, listPath))) return kOk;
  // No mover beside the DLL (or it cannot start): the list is not dropped but handed to the agent.
  StartAgentWithListFile(listPath, starter);
  return kOk;
}

}  // namespace

HResult MoveIntoVaultByMover(const HandlerState& state, AgentChannel& channel, FileMover& mover,
                             ProgramStarter& starter, TempFiles& files) {
  try {
    return HandToMover(state, channel, mover, starter, files);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
