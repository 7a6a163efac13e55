#pragma once
// Programs of the product that live beside the DLL (the agent, the mover), found from the DLL's own
// path and started outside any package the caller belongs to.
#include <string_view>

#include "common/text.h"
#include "shellmenu/program_starter.h"

namespace torvo {

// The program `name` in the folder of the caller's own module (the DLL, or the program itself),
// with one backslash between folder and name. False when the module's path cannot be read whole,
// yields no absolute folder or leaves no room for the name: a program of the product is never
// started by a name the search path would resolve.
bool FindProgramBesideOwnModule(ProgramStarter& starter, std::u16string_view name, char16_t (&path)[kMaxPath]);

// Starts the program with the parameters, asking first for a start outside the caller's package
// (the command line is the program's path in double quotes, a space and the parameters) and,
// where the platform refuses that, the plain way; a program that needs elevation is not started.
// True when either start reports the program running. A package's processes end when the package is removed or updated;
// the agent and the mover must not be among them.
bool StartProgram(ProgramStarter& starter, const char16_t* file, std::u16string_view parameters);

}  // namespace torvo
