#include "platform/win32/win32_agent_channel.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace torvo::win32 {

namespace {

// What the worker thread runs; lives in the frame of RunOnNewThread, which outlasts the thread.
struct ThreadStart {
  AgentChannel::ThreadProc proc;
  void* context;
};

DWORD WINAPI RunThreadStart(void* parameter) {
  const auto* start = static_cast<const ThreadStart*>(parameter);
  start->proc(start->context);
  return 0;
}

}  // namespace

bool Win32AgentChannel::RunOnNewThread(ThreadProc proc, void* context) {
  ThreadStart start{proc, context};
  const UniqueHandle thread(::CreateThread(nullptr, 0, RunThreadStart, &start, 0, nullptr));
  if (!thread) return false;
  ::WaitForSingleObject(thread.Get(), INFINITE);
  return true;
}

WindowHandle Win32AgentChannel::FindTopLevelWindow(const char16_t* className,
                                                   const char16_t* windowName) {
  return reinterpret_cast<WindowHandle>(::FindWindowW(AsWide(className), AsWide(windowName)));
}

std::uint64_t Win32AgentChannel::SendCopyData(WindowHandle window, const CopyDataRecord& record) {
  COPYDATASTRUCT query{record.dwData, record.cbData, const_cast<void*>(record.lpData)};
  DWORD_PTR answer = 0;
  // A hung agent must not hold the shell's thread: an expired or failed send reads as 0.
  const LRESULT sent = ::SendMessageTimeoutW(reinterpret_cast<HWND>(window), WM_COPYDATA, 0,
                                             reinterpret_cast<LPARAM>(&query), SMTO_ABORTIFHUNG,
                                             kAgentQueryTimeoutMs, &answer);
  if (sent == 0) return 0;
  return answer;
}

}  // namespace torvo::win32
