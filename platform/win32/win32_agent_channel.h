#pragma once
// The running vault agent reached through the window manager: a worker thread, FindWindowW and a
// WM_COPYDATA query bounded in time.
#include "shellmenu/agent_channel.h"

namespace torvo::win32 {

// How long one query waits for the agent's window procedure before it reads as the answer 0.
inline constexpr unsigned kAgentQueryTimeoutMs = 1000;

class Win32AgentChannel : public AgentChannel {
 public:
  bool RunOnNewThread(ThreadProc proc, void* context) override;
  WindowHandle FindTopLevelWindow(const char16_t* className, const char16_t* windowName) override;
  std::uint64_t SendCopyData(WindowHandle window, const CopyDataRecord& record) override;
};

}  // namespace torvo::win32
