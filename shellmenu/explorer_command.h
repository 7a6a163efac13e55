#pragma once
// The Explorer command's operations, as Windows 11's menu calls them with an item array: the
// classic menu's selection rules, decision and command over that array.
#include <cstdint>

#include "common/status.h"
#include "shellmenu/handler_platform.h"
#include "shellmenu/item_array.h"

namespace torvo {

inline constexpr std::uint32_t kEcsEnabled = 0x0;  // ECS_ENABLED
inline constexpr std::uint32_t kEcsHidden = 0x2;   // ECS_HIDDEN

// GetState: kEcsEnabled into *state when the classic menu offers its item for the items'
// selection, kEcsHidden otherwise. Hidden, without asking the agent, for a null or empty array and
// for one the rules without the agent refuse. When only the agent can decide and the shell does not
// allow a slow answer (`okToBeSlow` false), kPending, hidden, without asking it: the shell asks
// again off its UI thread. The user's known folders are read only off that thread, and not for a
// few items that are all files. kOk; kPointer for a null state; kOutOfMemory, hidden.
HResult GetExplorerCommandState(ItemArray* items, HandlerPlatform& platform, std::uint32_t* state,
                                bool okToBeSlow = true);

// Invoke: the classic command on the items' selection (the direct move handed to torvo-move.exe,
// or the list file and the agent's start), returning without waiting for a move. kOk whatever the
// hand-off yields; kInvalidArg, nothing done, when GetState would hide the command; kOutOfMemory.
HResult InvokeExplorerCommand(ItemArray* items, HandlerPlatform& platform);

}  // namespace torvo
