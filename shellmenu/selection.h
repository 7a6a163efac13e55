#pragma once
// Initialize: the selection taken from the shell's drop-file list.
#include "common/status.h"
#include "shellmenu/drop_files.h"
#include "shellmenu/handler_state.h"

namespace torvo {

// Replaces the selection with the items of the list, in order and duplicates kept, and leaves the
// last item's path in state.lastItemPath (empty when that item was left out). The block is read
// once, forward. kOk when the list names at least one item; kInvalidArg otherwise (a null source,
// no list as a global memory block, a block that cannot be locked, a block too short for its
// header or whose list lies outside it, a list that names no item), with the state unchanged.
// An item whose UTF-16 path needs 260 units or more, or that the block ends inside of, is left out.
HResult CaptureSelection(DropFiles* source, HandlerState& state);

}  // namespace torvo
