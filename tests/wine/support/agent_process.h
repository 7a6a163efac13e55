#pragma once
// The stand-in vault agent zebtorvofloat.exe in a process of its own: start it with given answers,
// wait for its window, stop it; and read what it logged of a "/_loginmove" start.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace torvo::wine {

inline constexpr wchar_t kAgentClass[] = L"ZebTorvoFloat";
inline constexpr wchar_t kAgentProgramName[] = L"zebtorvofloat.exe";

// The folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
// zebtorvofloat.exe beside the running test program (the build puts both in bin/).
std::wstring AgentProgramPath();

// A running agent, e.g. AgentProcess agent(L"/ready:0 /drive:v"). See tools/agent/main.cpp for
// the switches.
class AgentProcess {
 public:
  // Starts the program with the arguments and waits up to 10 s for its window.
  explicit AgentProcess(const std::wstring& arguments = L"", const std::wstring& program = AgentProgramPath());
  AgentProcess(const AgentProcess&) = delete;
  AgentProcess& operator=(const AgentProcess&) = delete;
  ~AgentProcess() { Stop(); }

  // The agent's window; null when it did not appear in time.
  HWND Window() const { return window_; }
  // Closes the window (WM_CLOSE) and waits up to 3 s for the process to end; a hung agent is
  // ended by force.
  void Stop();

 private:
  bool AwaitWindow();  // false when the process ended without a window, or none came in 10 s

  win32::UniqueHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

// The product's own bound on each question to the agent (1,000 ms), for the lifetime of the
// object, in this process and the programs it starts. The bench gives the agent more time
// (TORVO_AGENT_BOUND_MS in the tests' environment, cmake/torvo.cmake: its machines run loaded);
// rows about an agent that does not answer take the product's bound.
class ProductAgentBound {
 public:
  ProductAgentBound();
  ProductAgentBound(const ProductAgentBound&) = delete;
  ProductAgentBound& operator=(const ProductAgentBound&) = delete;
  ~ProductAgentBound();

 private:
  std::wstring benchBound_;
};

// Closes every agent window of the session (ending an agent that does not close) and waits until
// none is left; a window that survives 15 s fails the test, saying so, and the result is false.
bool CloseAllAgents();

// The top-level window of a class that belongs to a process; null when there is none.
HWND FindWindowOfProcess(const wchar_t* className, DWORD processId);

// What the agent logged for one "/_loginmove" start.
struct LoginMove {
  std::wstring commandLine;
  std::wstring listFile;
  std::vector<std::wstring> records;
  std::wstring end;  // "2 records", or what was wrong with the list file
};

// Points TORVO_AGENT_LOG of this process, and so of every agent it starts, at a fresh file in the
// temporary folder; removes the file and the variable again at the end.
class AgentLog {
 public:
  explicit AgentLog(const std::wstring& name);
  AgentLog(const AgentLog&) = delete;
  AgentLog& operator=(const AgentLog&) = delete;
  ~AgentLog();

  const std::wstring& Path() const { return path_; }
  // The "/_loginmove" starts logged so far.
  std::vector<LoginMove> LoginMoves() const;
  // Waits up to `timeoutMs` until at least `count` starts are logged; the starts then logged.
  std::vector<LoginMove> WaitForLoginMoves(std::size_t count, DWORD timeoutMs = 30000) const;
  // The ids of the queries logged so far by agents started with /logqueries, in order.
  std::vector<std::wstring> Queries() const;

 private:
  std::wstring path_;
};

}  // namespace torvo::wine
