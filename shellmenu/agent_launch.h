#pragma once
// Starting the agent program next to the DLL with "/_loginmove" and the move list file.
#include <string>

#include "common/status.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/program_starter.h"
#include "shellmenu/temp_files.h"

namespace torvo {

inline constexpr char16_t kAgentExecutableName[] = u"zebtorvofloat.exe";
inline constexpr char16_t kLoginMoveSwitch[] = u"/_loginmove";

// Writes the move list file and starts zebtorvofloat.exe from the DLL's own folder with
// "/_loginmove" and the file's path in double quotes. Nothing is written or started when the
// DLL's own path cannot be read whole or names no absolute folder, and, with `noUi`, when the agent
// is not there (the shell would show its "cannot find" message); when the start fails, the list
// file is removed. kOk, whether or not the start succeeds; kOutOfMemory, with nothing started,
// when memory runs out.
HResult LaunchAgentWithList(const HandlerState& state, ProgramStarter& starter, TempFiles& files, bool noUi = false);

// The same start for a list file already written (empty: the agent gets an empty quoted path);
// with `noUi`, an agent that is not there is not started. True when the agent was started.
bool StartAgentWithListFile(const std::u16string& listPath, ProgramStarter& starter, bool noUi = false);

}  // namespace torvo
