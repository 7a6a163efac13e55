// zebtorvofloat.exe: a stand-in for the ZebTorvo vault agent, for tests and the demo.
//
//   zebtorvofloat.exe [/ready:N] [/drive:C | /letter:N] [/hang]   run as the agent
//   zebtorvofloat.exe /_loginmove "LIST FILE"                     log the hand-off and end
//   zebtorvofloat.exe /quit                                        close every running agent
//
// As the agent it owns a hidden top-level window of the class "ZebTorvoFloat" until it receives
// WM_CLOSE, and answers WM_COPYDATA with dwData 1004 (ready?) by N of /ready (default 1) and 1005
// (drive letter?) by the letter C of /drive (default X) or the whole 64-bit value N of /letter.
// Numbers are decimal or 0x-hexadecimal. With /hang every WM_COPYDATA sleeps 60 s in the window
// procedure, so that senders meet their time-out.
//
// With /_loginmove it appends to its log (the file named by the environment variable
// TORVO_AGENT_LOG, else zebtorvofloat.log beside the program), as UTF-8, the lines
//   command line: <the raw command line>
//   list file: <the path after /_loginmove>
//   record: <path>              one per record of the list file (UTF-16LE, each ended by LF)
//   end: <n> records            or end: <what was wrong with the file>
// and ends without creating a window; the list file stays where it is. An unknown switch is
// logged as "refused: <argument>" and ends the program with exit code 2.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tools/agent/agent_options.h"
#include "tools/agent/agent_window.h"
#include "tools/agent/login_move_log.h"

namespace {

std::vector<std::wstring> ArgumentsAfterProgramName(const wchar_t* commandLine) {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(commandLine, &count);
  std::vector<std::wstring> arguments;
  for (int i = 1; argv != nullptr && i < count; ++i) arguments.emplace_back(argv[i]);
  ::LocalFree(argv);
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace torvo::agent;
  const wchar_t* commandLine = ::GetCommandLineW();
  const AgentOptions options = ParseAgentOptions(ArgumentsAfterProgramName(commandLine));
  if (!options.error.empty()) {
    LogLine(L"refused: " + options.error);
    return 2;
  }
  if (options.quit) {
    CloseRunningAgents();
    return 0;
  }
  if (options.loginMove) {
    LogLoginMove(commandLine, options.listFile);
    return 0;
  }
  return RunAgentWindow(instance, options);
}
