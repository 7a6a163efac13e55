#pragma once
// Where each item of a direct move arrives in the vault root: under its own name, or, when that
// name is taken, under the shell's numbered name, so that the move never replaces a file.
#include <optional>
#include <string>
#include <vector>

#include "shellmenu/agent_protocol.h"
#include "shellmenu/environment.h"
#include "shellmenu/file_mover.h"

namespace torvo {

// The highest number tried for one name; a name whose numbers are all taken is not moved.
inline constexpr unsigned kMaxNameNumber = 9999;

// The full destination of each source, in order: the root and the source's name, or the name
// numbered as the shell numbers copies ("report (2).doc", "photos (2)", a folder's at its end:
// "photos.2023 (2)") when the root already holds it or an earlier source of the same move takes it
// (names compared as the file system compares them). The root is read once (ListNames), and each
// source asked once whether it is a folder. Nothing when the root cannot be listed, a source has no
// name, a destination would need 260 units or more, or no number up to kMaxNameNumber is free.
std::optional<std::vector<std::u16string>> DestinationPaths(const std::vector<std::u16string>& sources,
                                                            const VaultRoot& root, FileMover& mover,
                                                            const Environment& environment);

}  // namespace torvo
