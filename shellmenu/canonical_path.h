#pragma once
// The one form in which a path meets the protected places, the vault drive and the agent's program:
// the path Windows opens, in the file system's own spelling, whatever the caller wrote.
#include <string>
#include <string_view>
#include <vector>

#include "shellmenu/environment.h"

namespace torvo {

// The path with blanks at both ends removed and forward slashes as backslashes; a device path of a
// drive or a share without its prefix ("\\?\C:\x" and "\\.\C:\x" are "C:\x", "\\?\UNC\server" and
// "\\.\UNC\server" are "\\server"; any other device path stays as written and names no folder);
// then its full form (GetFullPathNameW: relative spellings against the current folders, "." and
// ".." resolved, doubled separators as one); this machine's administrative shares
// ("\\localhost\C$", "\\<any name of this machine>\C$", machine_names.h) as their drive ("C:\"),
// "ADMIN$" as the Windows folder; no trailing dots, blanks or backslashes but a drive root's; and
// short (8.3) names as their long names where the path exists. Generated short names carry a tilde
// ("PROGRA~1", Wine's "PROG~FBU"), so only a path with one is asked for its long name.
std::u16string CanonicalPath(std::u16string_view path, const Environment& environment);

// Whether a canonical path lies on the drive of the letter (A-Z without regard to case): it begins
// with that letter, a colon, and a backslash or nothing more. A share or a device path is on no drive.
bool IsOnDrive(std::u16string_view canonical, char16_t letter);

// The paths without those that name an item an earlier one names (their canonical forms equal, as
// the file system compares names), in order: one item in two spellings is moved once.
std::vector<std::u16string> WithoutRepeatedItems(const std::vector<std::u16string>& paths,
                                                 const Environment& environment);

}  // namespace torvo
