#pragma once
// The choice between the direct move and the agent launch.
#include "common/status.h"
#include "shellmenu/handler_platform.h"
#include "shellmenu/handler_state.h"

namespace torvo {

// Asks a running agent whether it is ready: direct move if so, agent launch otherwise, and also
// when the ready agent's vault root turns out not to exist.
HResult SendSelectionToVault(const HandlerState& state, HandlerPlatform& platform);

}  // namespace torvo
