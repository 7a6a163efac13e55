#pragma once
// The direct move of the selection into the root of the vault drive.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "shellmenu/agent_channel.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/file_mover.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/text_source.h"

namespace torvo {

// Whether the move can pass the path whole: not empty, shorter than 260 units and without a zero,
// which would end the source list early or pass an item that was not selected.
bool IsMovablePath(std::u16string_view path);

// The source list of the move: a zeroed block of count x 261 + 2 units holding the paths one after
// another, each with its zero, so that the list ends with two zeros. Nothing when a path is not
// movable.
std::optional<std::vector<char16_t>> BuildSourceList(const std::vector<std::u16string>& paths);

// The move of the paths into the vault root under the progress title (string 103), with the flags
// of every direct move; its record points into the job. Nothing when a path is not movable.
std::unique_ptr<FileOperationJob> VaultMoveJob(const std::vector<std::u16string>& paths, const VaultRoot& root,
                                               TextSource& texts);

// The root that a direct move of the paths goes to: asks the agent for the drive letter (the
// dispatch's window is not reused: the agent is looked up and asked once more). kOk with the root;
// kInvalidArg when a path cannot be passed whole; kFail when the root does not exist.
HResult FindVaultRootFor(const std::vector<std::u16string>& paths, AgentChannel& channel, FileMover& mover,
                         VaultRoot& root);

// Asks the agent for the drive letter and starts the move of every selected item into its root,
// under the progress title, on a thread of its own (on the calling thread when none can be
// started), and returns without waiting for it. kFail when the root does not exist, kInvalidArg
// (nothing moved) when an entry cannot be passed whole, kOutOfMemory when memory runs out, else kOk.
HResult MoveIntoVault(const HandlerState& state, AgentChannel& channel, FileMover& mover, TextSource& texts);

}  // namespace torvo
