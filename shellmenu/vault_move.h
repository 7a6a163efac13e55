#pragma once
// The direct move of the selection into the root of the vault drive.
#include <optional>
#include <string>
#include <vector>

#include "common/status.h"
#include "shellmenu/agent_channel.h"
#include "shellmenu/file_mover.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/text_source.h"

namespace torvo {

// The source list of the move: a zeroed block of count x 261 + 2 units holding the paths one after
// another, each with its zero, so that the list ends with two zeros. Nothing when an entry is
// empty, longer than 259 units or holds a zero: it would end the list early, pass an item that
// was not selected, or run over its share of the block.
std::optional<std::vector<char16_t>> BuildSourceList(const std::vector<std::u16string>& paths);

// Asks the agent for the drive letter and starts the move of every selected item into its root,
// under the progress title, on a thread of its own (on the calling thread when none can be
// started), and returns without waiting for it. kFail when the root does not exist, kInvalidArg
// (nothing moved) when an entry cannot be passed whole, kOutOfMemory when memory runs out, else kOk.
HResult MoveIntoVault(const HandlerState& state, AgentChannel& channel, FileMover& mover, TextSource& texts);

}  // namespace torvo
