#pragma once
// The direct move handed to torvo-move.exe, a process of its own beside the DLL: the Explorer
// command runs in a host (COM's surrogate) that may end as soon as the shell lets go of it, and a
// move on one of its threads would end with it.
#include "common/status.h"
#include "shellmenu/agent_channel.h"
#include "shellmenu/file_mover.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/program_starter.h"
#include "shellmenu/temp_files.h"

namespace torvo {

inline constexpr char16_t kMoverExecutableName[] = u"torvo-move.exe";

// Asks the agent for the drive letter; when its root exists, writes the selection into a move list
// file and starts torvo-move.exe from the DLL's own folder with the root and the list file's path
// in double quotes ("X:\ "C:\...\m2m1A2B.tmp""), without waiting for it. When the mover cannot be
// started, the agent is started with that list file, as for an agent that is not ready. kOk once
// one of them was asked to start; kFail, nothing written, when the root does not exist, the
// mover's path cannot be formed or the list cannot be written; kInvalidArg, nothing written, when
// an entry cannot be passed whole; kOutOfMemory.
HResult MoveIntoVaultByMover(const HandlerState& state, AgentChannel& channel, FileMover& mover,
                             ProgramStarter& starter, TempFiles& files);

}  // namespace torvo
