#include "shellmenu/dispatch.h"

#include "shellmenu/agent_launch.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/mover_launch.h"
#include "shellmenu/trusted_agent.h"
#include "shellmenu/vault_move.h"

namespace torvo {

namespace {

HResult MoveDirectly(const HandlerState& state, HandlerPlatform& platform, DirectMove directMove,
                     const InvokeOptions& options) {
  if (directMove == DirectMove::kMoverProcess) return MoveIntoVaultByMover(state, platform);
  return MoveIntoVault(state, platform, options);
}

}  // namespace

HResult SendSelectionToVault(const HandlerState& state, HandlerPlatform& platform, DirectMove directMove,
                             const InvokeOptions& options) {
  // The window found here serves this one question only; the direct move looks it up again.
  const WindowHandle window = FindAgentWindow(TrustedAgent(platform));
  // An agent started elevated runs, but Windows keeps the shell's questions from it: no second one
  // is started (that would ask for elevation again), and nothing is handed over.
  if (window != 0 && !platform.agent.Reachable(window)) return kOk;
  if (window != 0 && QueryAgentReady(platform.agent, window)) {
    const HResult moved = MoveDirectly(state, platform, directMove, options);
    // Ready, then no vault root after all (the agent gone, no letter, no drive): the command is
    // not dropped but handed over by the list, as to an agent that is not ready.
    if (moved != kFail) return moved;
  }
  // Not running, or running but not ready: the agent is started with the list all the same.
  return LaunchAgentWithList(state, platform.starter, platform.tempFiles, options.noUi);
}

}  // namespace torvo
