#include "tools/agent/agent_window.h"

#include <string>

#include "tools/agent/login_move_log.h"

namespace torvo::agent {

namespace {

LRESULT Answer(const AgentOptions& options, const COPYDATASTRUCT* query) {
  if (options.logQueries && query != nullptr) LogLine(L"query: " + std::to_wstring(query->dwData));
  if (options.hang) {
    ::Sleep(kHangMs);
    return 0;
  }
  if (query == nullptr) return 0;
  // LRESULT is 64 bits wide here: upper bits given on the command line reach the sender.
  if (query->dwData == kQueryReady) return static_cast<LRESULT>(options.readyAnswer);
  if (query->dwData == kQueryDriveLetter) return static_cast<LRESULT>(options.driveAnswer);
  return 0;
}

LRESULT CALLBACK AgentWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto* options = reinterpret_cast<const AgentOptions*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_COPYDATA && options != nullptr) {
    return Answer(*options, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

BOOL CALLBACK CloseIfAgent(HWND window, LPARAM) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (::lstrcmpW(name, kAgentWindowClass) == 0) ::PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

int RunAgentWindow(HINSTANCE instance, const AgentOptions& options) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = AgentWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kAgentWindowClass;
  if (::RegisterClassW(&windowClass) == 0) return 1;
  // A top-level window that is never shown: FindWindowW finds hidden windows too.
  HWND window = ::CreateWindowExW(0, kAgentWindowClass, L"ZebTorvo", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  240, 80, nullptr, nullptr, instance, const_cast<AgentOptions*>(&options));
  if (window == nullptr) return 1;
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

void CloseRunningAgents() { ::EnumWindows(CloseIfAgent, 0); }

}  // namespace torvo::agent
