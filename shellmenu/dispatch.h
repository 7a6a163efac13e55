#pragma once
// The choice between the direct move and the agent launch.
#include "common/status.h"
#include "shellmenu/handler_platform.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/vault_move.h"

namespace torvo {

// Where a direct move runs.
enum class DirectMove {
  kOwnThread,     // a thread that holds the caller's process (the classic handler), else torvo-move.exe
  kMoverProcess,  // torvo-move.exe (the Explorer command: its host may end at once)
};

// Asks a running agent whether it is ready: direct move if so, agent launch otherwise, and also
// when the ready agent's vault root turns out not to exist; the caller's options hold for either.
// An agent that runs but that Windows keeps this process from reaching gets nothing.
HResult SendSelectionToVault(const HandlerState& state, HandlerPlatform& platform,
                             DirectMove directMove = DirectMove::kOwnThread, const InvokeOptions& options = {});

}  // namespace torvo
