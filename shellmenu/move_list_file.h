#pragma once
// The move list file handed to the agent: UTF-16LE paths, each followed by a line feed, no BOM.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "shellmenu/handler_state.h"
#include "shellmenu/temp_files.h"

namespace torvo {

// Writes the selection into a new "m2m" file of its own in the temporary folder, created
// exclusively under a name nobody foresees and written through the handle that created it; its
// full path, or the empty string when any step failed (memory exhaustion included). A file that
// could not be written whole is removed.
std::u16string WriteMoveListFile(const HandlerState& state, TempFiles& files);

// The records of a move list file's bytes, in order, each without its line feed; none for an empty
// file. Nothing when the bytes are not of the format: an odd count, or a last record without its
// line feed (a file cut short). What a record holds is the reader's to judge.
std::optional<std::vector<std::u16string>> ParseMoveList(std::span<const std::uint8_t> bytes);

}  // namespace torvo
