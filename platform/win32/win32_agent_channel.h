#pragma once
// The running vault agent reached through the window manager: FindWindowW on a worker thread of
// the DLL's own, and a WM_COPYDATA query, both bounded in time.
#include "platform/win32/load_caches.h"
#include "shellmenu/agent_channel.h"

namespace torvo::win32 {

class Win32AgentChannel : public AgentChannel {
 public:
  // With a cache, a window's program is read once for as long as the cache lives.
  explicit Win32AgentChannel(WindowProgramCache* programs = nullptr) : programs_(programs) {}

  WindowHandle FindTopLevelWindow(const char16_t* className, const char16_t* windowName,
                                  std::uint32_t timeoutMs) override;
  std::uint64_t SendCopyData(WindowHandle window, const CopyDataRecord& record) override;
  std::optional<std::u16string> WindowProgram(WindowHandle window) override;
  bool Reachable(WindowHandle window) override;

 private:
  WindowProgramCache* programs_;
};

}  // namespace torvo::win32
