#pragma once
// Initialize: the selection taken from the shell's drop-file list.
#include "common/status.h"
#include "shellmenu/drop_files.h"
#include "shellmenu/handler_state.h"

namespace torvo {

// Replaces the selection with the items of the list and leaves the last item's path in
// state.lastItemPath. kOk when the list names at least one item; kInvalidArg otherwise (a null
// source, no list, a block that cannot be locked, no items), with the state unchanged.
// An item the platform cannot deliver, or whose path does not fit in 259 units, is left out.
HResult CaptureSelection(DropFiles* source, HandlerState& state);

}  // namespace torvo
