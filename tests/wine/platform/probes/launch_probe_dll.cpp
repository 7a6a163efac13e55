// A small DLL that starts the agent the way the shell extension does: from its own folder, found
// through its own module handle.
#include <windows.h>

#include "platform/win32/wide.h"
#include "platform/win32/win32_program_starter.h"
#include "platform/win32/win32_temp_files.h"
#include "shellmenu/agent_launch.h"

namespace {
HMODULE g_module = nullptr;
}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

// LaunchAgentWithList for the selection of `count` paths; its result.
extern "C" __declspec(dllexport) HRESULT LaunchFromProbe(const wchar_t* const* paths, int count) {
  torvo::HandlerState state;
  for (int i = 0; i < count; ++i) state.m_selection.emplace_back(torvo::win32::AsUtf16(paths[i]));
  torvo::win32::Win32ProgramStarter starter(g_module);
  torvo::win32::Win32TempFiles files;
  return torvo::LaunchAgentWithList(state, starter, files);
}
