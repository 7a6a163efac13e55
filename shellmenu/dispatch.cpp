#include "shellmenu/dispatch.h"

#include "shellmenu/agent_launch.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/vault_move.h"

namespace torvo {

HResult SendSelectionToVault(const HandlerState& state, HandlerPlatform& platform) {
  // The window found here serves this one question only; the direct move looks it up again.
  const WindowHandle window = FindAgentWindow(platform.agent);
  if (window != 0 && QueryAgentReady(platform.agent, window)) {
    return MoveIntoVault(state, platform.agent, platform.mover, platform.texts);
  }
  // Not running, or running but not ready: the agent is started with the list all the same.
  return LaunchAgentWithList(state, platform.starter, platform.tempFiles);
}

}  // namespace torvo
