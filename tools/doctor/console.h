#pragma once
// torvo-doctor's console: what it writes and the one answer it reads.
#include <windows.h>

#include <string>

namespace torvo::doctor {

// To a console as UTF-16; to a file or a pipe as UTF-8.
void Write(DWORD stream, const std::wstring& text);

// One line of standard input (from a console, a file or a pipe, UTF-8 there) without its line end;
// empty at the end of the input.
std::wstring ReadLine();

}  // namespace torvo::doctor
