#pragma once
// The direct move of the selection into the root of the vault drive.
#include "common/status.h"
#include "shellmenu/agent_channel.h"
#include "shellmenu/file_mover.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/text_source.h"

namespace torvo {

// Asks the agent for the drive letter and moves every selected item into its root under the
// progress title; kFail when the root does not exist, kOutOfMemory when memory runs out, else kOk.
HResult MoveIntoVault(const HandlerState& state, AgentChannel& channel, FileMover& mover,
                      TextSource& texts);

}  // namespace torvo
