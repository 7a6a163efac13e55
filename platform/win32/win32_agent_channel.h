#pragma once
// The running vault agent reached through the window manager: FindWindowW on a worker thread of
// the DLL's own, and a WM_COPYDATA query, both bounded in time.
#include "shellmenu/agent_channel.h"

namespace torvo::win32 {

class Win32AgentChannel : public AgentChannel {
 public:
  WindowHandle FindTopLevelWindow(const char16_t* className, const char16_t* windowName,
                                  std::uint32_t timeoutMs) override;
  std::uint64_t SendCopyData(WindowHandle window, const CopyDataRecord& record) override;
  std::optional<std::u16string> WindowProgram(WindowHandle window) override;
  bool Reachable(WindowHandle window) override;
};

}  // namespace torvo::win32
