#pragma once
// The direct move handed to torvo-move.exe, a process of its own beside the DLL: the Explorer
// command runs in a host (COM's surrogate) that may end as soon as the shell lets go of it, and so
// may the classic handler's host when it offers no hold on its process; a move on one of its
// threads would end with it.
#include "common/status.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/handler_platform.h"
#include "shellmenu/handler_state.h"

namespace torvo {

inline constexpr char16_t kMoverExecutableName[] = u"torvo-move.exe";
// torvo-move.exe's first argument when the caller asked for no UI (CMIC_MASK_FLAG_NO_UI): its move
// shows no window and renames what would be replaced.
inline constexpr char16_t kMoverNoUiSwitch[] = u"/noui";

// Asks the agent for the drive letter and, when its root exists, hands the selection to the mover
// as HandRootToMover does. kFail, nothing written, when the root does not exist; kInvalidArg,
// nothing written, when an entry cannot be passed whole; else as HandRootToMover.
HResult MoveIntoVaultByMover(const HandlerState& state, HandlerPlatform& platform);

// Writes the selection into a move list file and starts torvo-move.exe from the DLL's own folder
// with the root and the list file's path in double quotes ("X:\ "C:\...\m2m1A2B.tmp""), led by
// kMoverNoUiSwitch when the caller asked for no UI, without waiting for it. When the mover cannot be
// started, the agent is started with that list file, as for an agent that is not ready, if it is
// there (the caller's own start of the agent follows a kFail, and a second "cannot find" message
// would be one too many); when neither starts, the list file is removed. kOk once one of them was
// started; kFail when the mover's path cannot be formed, the list cannot be written or nothing
// starts; kOutOfMemory.
HResult HandRootToMover(const HandlerState& state, const VaultRoot& root, HandlerPlatform& platform, bool noUi = false);

}  // namespace torvo
