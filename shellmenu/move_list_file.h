#pragma once
// The move list file handed to the agent: UTF-16LE paths, each followed by a line feed, no BOM.
#include <string>

#include "shellmenu/handler_state.h"
#include "shellmenu/temp_files.h"

namespace torvo {

// Writes the selection into a new "m2m" file in the temporary folder; its full path, or the
// empty string when any step failed (memory exhaustion included).
std::u16string WriteMoveListFile(const HandlerState& state, TempFiles& files);

}  // namespace torvo
