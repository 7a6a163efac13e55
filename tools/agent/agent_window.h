#pragma once
// The agent's top-level window of the class "ZebTorvoFloat" and its answers to WM_COPYDATA.
#include <windows.h>

#include "tools/agent/agent_options.h"

namespace torvo::agent {

inline constexpr wchar_t kAgentWindowClass[] = L"ZebTorvoFloat";
// How long a hanging agent sleeps in its window procedure for each query.
inline constexpr DWORD kHangMs = 60 * 1000;

// Creates the window and runs its message loop until the window is closed (WM_CLOSE); the
// program's exit code.
int RunAgentWindow(HINSTANCE instance, const AgentOptions& options);

// Posts WM_CLOSE to every top-level window of the agent's class.
void CloseRunningAgents();

}  // namespace torvo::agent
