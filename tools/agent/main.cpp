// zebtorvofloat.exe: a stand-in for the ZebTorvo vault agent, for tests and the demo.
//
//   zebtorvofloat.exe [/ready:N] [/drive:C | /letter:N] [/hang] [/logqueries]   run as the agent
//   zebtorvofloat.exe /_loginmove "LIST FILE"                     log the hand-off and end
//   zebtorvofloat.exe /quit                                        close every running agent
//
// The switches, the answers and the log are described in README.md beside this file.
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
