#pragma once
// How the handler reaches the running vault agent: a worker thread for the window lookup, the
// lookup itself and the WM_COPYDATA query.
#include <cstdint>

#include "shellmenu/handles.h"

namespace torvo {

// The query record (COPYDATASTRUCT) of one question to the agent.
struct CopyDataRecord {
  std::uintptr_t dwData = 0;  // the question's id
  std::uint32_t cbData = 0;
  const void* lpData = nullptr;
};

class AgentChannel {
 public:
  using ThreadProc = void (*)(void* context);

  virtual ~AgentChannel() = default;

  // CreateThread (default security and stack, starts at once) running proc(context), then
  // WaitForSingleObject with no time limit and CloseHandle. Returns false, without running proc,
  // when the thread cannot be created.
  virtual bool RunOnNewThread(ThreadProc proc, void* context) = 0;

  // FindWindowW: the first top-level window of the class (and title, when not null), or 0.
  virtual WindowHandle FindTopLevelWindow(const char16_t* className, const char16_t* windowName) = 0;

  // WM_COPYDATA to the window with wParam 0 and lParam the record; the window procedure's answer.
  // Bounded by SendMessageTimeoutW (SMTO_ABORTIFHUNG, 1,000 ms): a time-out or failure gives 0.
  virtual std::uint64_t SendCopyData(WindowHandle window, const CopyDataRecord& record) = 0;
};

}  // namespace torvo
