#pragma once
// The paths a move takes: exactly the item the path names, in the form Windows gives it.
#include <string_view>

namespace torvo {

// Whether the move can pass the path whole and take exactly the item it names, because the path is
// already the full form Windows would make of it (so the path judged is the path moved):
//  - not empty, shorter than 260 units, without a zero (which would end the source list early) and
//    without '*' or '?', which the shell's file operation reads as patterns (no file on Windows has
//    them in its name; an ANSI drop list carries '?' for a character it cannot represent);
//  - absolute: "X:\" or "\\server\share\"; no relative or drive-relative path, and no device path
//    ("\\?\", "\\.\", GLOBALROOT, Volume{...}, pipes), which the shell's file operation does not take;
//  - every name after the root present (no doubled or closing backslash, no forward slash) and not
//    ending in '.' or a blank: Windows drops those, so "a.txt." would move "a.txt", and "." and ".."
//    would move another folder;
//  - no ':' after the drive's: a stream ("file.txt:s", "a.txt::$DATA") is no item of its own.
bool IsMovablePath(std::u16string_view path);

}  // namespace torvo
