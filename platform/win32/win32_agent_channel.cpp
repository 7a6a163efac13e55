#include "platform/win32/win32_agent_channel.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/own_thread.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/wine_bench.h"

namespace torvo::win32 {

namespace {

// The lookup's record, owned jointly by the caller and the worker: a worker that finishes after
// the caller has stopped waiting writes into memory that still exists, and the last owner frees
// it. The names are copies, since the caller's texts may be gone by then.
struct FindWindowParam {
  std::wstring className;
  std::wstring windowName;
  bool hasWindowName = false;
  HWND hwndResult = nullptr;
};

class FindWindowWork : public ThreadWork {
 public:
  explicit FindWindowWork(std::shared_ptr<FindWindowParam> param) : param_(std::move(param)) {}
  void Run() noexcept override {
    param_->hwndResult =
        ::FindWindowW(param_->className.c_str(), param_->hasWindowName ? param_->windowName.c_str() : nullptr);
  }

 private:
  std::shared_ptr<FindWindowParam> param_;
};

}  // namespace

WindowHandle Win32AgentChannel::FindTopLevelWindow(const char16_t* className, const char16_t* windowName,
                                                   std::uint32_t timeoutMs) {
  auto param = std::make_shared<FindWindowParam>();
  param->className = AsWide(className);
  param->hasWindowName = windowName != nullptr;
  if (windowName != nullptr) param->windowName = AsWide(windowName);
  std::unique_ptr<ThreadWork> work = std::make_unique<FindWindowWork>(param);
  const UniqueHandle thread = StartOwnThread(work);
  if (!thread) return 0;
  // The result is read only once the worker has ended; a late worker's answer is not waited for.
  if (::WaitForSingleObject(thread.Get(), AgentBoundMs(timeoutMs)) != WAIT_OBJECT_0) return 0;
  return reinterpret_cast<WindowHandle>(param->hwndResult);
}

std::uint64_t Win32AgentChannel::SendCopyData(WindowHandle window, const CopyDataRecord& record) {
  COPYDATASTRUCT query{record.dwData, record.cbData, const_cast<void*>(record.lpData)};
  DWORD_PTR answer = 0;
  // A hung agent must not hold the shell's thread: an expired or failed send reads as 0.
  const LRESULT sent =
      ::SendMessageTimeoutW(reinterpret_cast<HWND>(window), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&query),
                            SMTO_ABORTIFHUNG, AgentBoundMs(kAgentQueryTimeoutMs), &answer);
  if (sent == 0) return 0;
  return answer;
}

}  // namespace torvo::win32

namespace torvo::win32 {

namespace {

// The process's integrity level (the last subauthority of its token's integrity SID); nothing when
// it cannot be read.
std::optional<DWORD> IntegrityLevel(HANDLE process) {
  UniqueHandle token;
  if (!::OpenProcessToken(process, TOKEN_QUERY, token.Put())) return std::nullopt;
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenIntegrityLevel, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !::GetTokenInformation(token.Get(), TokenIntegrityLevel, buffer.data(), size, &size)) {
    return std::nullopt;
  }
  const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  return *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1U);
}

}  // namespace

bool Win32AgentChannel::Reachable(WindowHandle window) {
  DWORD processId = 0;
  if (::GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &processId) == 0) return true;
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  const std::optional<DWORD> theirs = process ? IntegrityLevel(process.Get()) : std::nullopt;
  const std::optional<DWORD> ours = IntegrityLevel(::GetCurrentProcess());
  return !theirs || !ours || *theirs <= *ours;
}

namespace {

std::optional<std::u16string> ProcessProgram(DWORD processId) {
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return std::nullopt;
  wchar_t path[MAX_PATH * 4] = {};
  DWORD units = MAX_PATH * 4;
  if (!::QueryFullProcessImageNameW(process.Get(), 0, path, &units)) return std::nullopt;
  return std::u16string(AsUtf16(path), units);
}

}  // namespace

std::optional<std::u16string> Win32AgentChannel::WindowProgram(WindowHandle window) {
  DWORD processId = 0;
  const auto hwnd = reinterpret_cast<HWND>(window);
  if (::GetWindowThreadProcessId(hwnd, &processId) == 0) return std::nullopt;
  if (programs_ == nullptr) return ProcessProgram(processId);
  return programs_->Program(hwnd, processId, [processId] { return ProcessProgram(processId); });
}

}  // namespace torvo::win32
