#pragma once
// The one form in which a path meets the protected places, the vault drive and the agent's program:
// the file system's own spelling, whatever the caller wrote.
#include <string>
#include <string_view>

#include "shellmenu/environment.h"

namespace torvo {

// The path with blanks at both ends removed, forward slashes as backslashes, no "\\?\" or "\\.\"
// prefix ("\\?\UNC\server" is "\\server"), this machine's administrative shares ("\\localhost\C$",
// "\\127.0.0.1\C$", "\\<COMPUTERNAME>\C$") as their drive ("C:\"), no trailing dots, blanks or
// backslashes but a drive root's, and short (8.3) names as their long names where the path exists.
// Generated short names carry a tilde ("PROGRA~1", Wine's "PROG~FBU"), so only a path with one is
// asked for its long name: the common right-click costs no call to the file system.
std::u16string CanonicalPath(std::u16string_view path, const Environment& environment);

}  // namespace torvo
