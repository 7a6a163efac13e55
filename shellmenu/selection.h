#pragma once
// The selection taken from what the shell hands over: Initialize's drop-file list, or the Explorer
// command's item array. Both follow one set of rules.
#include "common/status.h"
#include "shellmenu/drop_files.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/item_array.h"

namespace torvo {

// Replaces the selection with the items of the list, in order and duplicates kept, and leaves the
// last item's path in state.lastItemPath (empty when that item was left out); an item that is no
// movable path (vault_move.h) is left out and marks the selection as not whole. The block is read
// once, forward. kOk when the list names at least one item; kInvalidArg otherwise (a null source,
// no list as a global memory block, a block that cannot be locked, a block too short for its
// header or whose list lies outside it, a list that names no item), with the state unchanged.
// An item whose UTF-16 path needs 260 units or more, or that the block ends inside of, is left out.
HResult CaptureSelection(DropFiles* source, HandlerState& state);

// The same for an item array. When the array offers its items as one data object with a drop-file
// list, that list is read as above, in one pass (an array that names more items than the list holds
// left some out); otherwise (and when that list names no item) each
// item's file-system path is asked once, in the array's order. An item without one, or whose path
// needs 260 units or more, is left out. kOk when the array names at least one item; kInvalidArg
// for a null or empty array, with the state unchanged.
HResult CaptureItemSelection(ItemArray* items, HandlerState& state);

}  // namespace torvo
