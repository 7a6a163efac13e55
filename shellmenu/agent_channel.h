#pragma once
// How the handler reaches the running vault agent: the window lookup on a worker thread and the
// WM_COPYDATA query, each bounded in time.
#include <cstdint>
#include <optional>
#include <string>

#include "shellmenu/handles.h"

namespace torvo {

// The query record (COPYDATASTRUCT) of one question to the agent.
struct CopyDataRecord {
  std::uintptr_t dwData = 0;  // the question's id
  std::uint32_t cbData = 0;
  const void* lpData = nullptr;
};

// How long one question to the agent, and the lookup of its window, may hold the caller.
inline constexpr std::uint32_t kAgentQueryTimeoutMs = 1000;

class AgentChannel {
 public:
  virtual ~AgentChannel() = default;

  // FindWindowW on a short-lived worker thread, waited for at most `timeoutMs`: the first top-level
  // window of the class (and title, when not null). 0 when there is none, when no worker can be
  // started, and when the worker does not finish in time; a late worker then ends on its own,
  // writing only into memory it shares with nobody any more.
  virtual WindowHandle FindTopLevelWindow(const char16_t* className, const char16_t* windowName,
                                          std::uint32_t timeoutMs) = 0;

  // WM_COPYDATA to the window with wParam 0 and lParam the record; the window procedure's answer.
  // Bounded by SendMessageTimeoutW (SMTO_ABORTIFHUNG, 1,000 ms): a time-out or failure gives 0.
  virtual std::uint64_t SendCopyData(WindowHandle window, const CopyDataRecord& record) = 0;

  // GetWindowThreadProcessId, OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION) and
  // QueryFullProcessImageNameW: the full path of the program that the window's process runs;
  // nothing when the window is gone or its process cannot be asked.
  virtual std::optional<std::u16string> WindowProgram(WindowHandle window) = 0;

  // Whether a message of this process reaches the window: false when the window's process runs at a
  // higher integrity level (TokenIntegrityLevel of both processes' tokens; an agent started
  // elevated), whose windows Windows' privilege isolation keeps this process's WM_COPYDATA from.
  // True when either level cannot be read.
  virtual bool Reachable(WindowHandle window) = 0;
};

}  // namespace torvo
