#pragma once
// The direct move of the selection into the root of the vault drive.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/environment.h"
#include "shellmenu/file_mover.h"
#include "shellmenu/handler_platform.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/movable_path.h"
#include "shellmenu/text_source.h"

namespace torvo {

// The source list of the move: a zeroed block of count x 261 + 2 units holding the paths one after
// another, each with its zero, so that the list ends with two zeros. Nothing when a path is not
// movable.
std::optional<std::vector<char16_t>> BuildSourceList(const std::vector<std::u16string>& paths);

// The move of the paths into the vault root under the progress title (string 103), with the flags
// of every direct move: each item to its own destination, which NameDestinations decides. Its
// record points into the job. Nothing when a path is not movable.
std::unique_ptr<FileOperationJob> VaultMoveJob(const std::vector<std::u16string>& paths, TextSource& texts);

// Names the destinations of the job made for the paths (destination_names.h: one listing of the
// root), so that nothing in the root is replaced, and points its record at them. False, the job
// left without destinations, when the root cannot be listed or no free name is found.
bool NameDestinations(FileOperationJob& job, const std::vector<std::u16string>& paths, const VaultRoot& root,
                      FileMover& mover, const Environment& environment);

// The root that a direct move of the paths goes to: asks the agent for the drive letter (the
// dispatch's window is not reused: the agent is looked up and asked once more). kOk with the root;
// kInvalidArg when a path cannot be passed whole; kFail when the root does not exist.
HResult FindVaultRootFor(const std::vector<std::u16string>& paths, const AgentLink& agent, FileMover& mover,
                         VaultRoot& root);

// What the caller of the command asks of it (CMINVOKECOMMANDINFO's fMask and hwnd).
struct InvokeOptions {
  bool completeBeforeReturn = false;  // CMIC_MASK_NOASYNC: the move is done when the call returns
  bool noUi = false;                  // CMIC_MASK_FLAG_NO_UI: no dialog that asks; a name taken by then is
                                      // renamed, never replaced
  WindowHandle owner = 0;             // the owner of the move's progress window
};

// Asks the agent for the drive letter and starts the move of every selected item into its root,
// under the progress title, on a thread of its own that holds the host process until the move has
// ended, and returns without waiting for it. That thread names the destinations; when it finds no
// free name, it hands the selection to the agent (LaunchAgentWithList) instead. A host that offers no such hold
// (another program's dialog, a folder window in a process of its own) may end at once: the move then runs in
// torvo-move.exe (mover_launch.h), with the caller's "no UI". kFail when the root does not exist (or,
// named on the calling thread, no destination name is free), kInvalidArg (nothing moved) when an entry cannot be passed
// whole, kOutOfMemory when memory runs out, else kOk. With completeBeforeReturn the move runs on the calling thread,
// done on return.
HResult MoveIntoVault(const HandlerState& state, HandlerPlatform& platform, const InvokeOptions& options = {});

}  // namespace torvo
