// QueryContextMenu with the agent running, against the bare platform calls it cannot avoid: one
// worker thread that runs FindWindowW, one WM_COPYDATA query and the expansions of the
// protected-place test (one per row). The Explorer command's GetState for one real file likewise, against the
// same calls and the one read of the item's path from the shell's item array. All are timed call
// by call, interleaved, and compared by their medians. Then the protected-place test alone on an
// unprotected path, with its comparisons that ignore letter case, against its bare expansions.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/wine/timing.h"
#include "common/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_handler_platform.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_item_array.h"
#include "shellmenu/context_menu.h"
#include "shellmenu/explorer_command.h"
#include "shellmenu/protected_paths.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

constexpr int kRepetitions = 2000;
constexpr char16_t kLastItem[] = u"D:\\data\\reports\\2026\\q4.doc";

using bench::Median;
using bench::NowMicroseconds;

DWORD WINAPI FindAgentThread(void* result) {
  *static_cast<HWND*>(result) = ::FindWindowW(L"ZebTorvoFloat", nullptr);
  return 0;
}

// The protected-place test's own platform calls: one expansion per row, the known folders' paths
// read where Windows keeps them.
void ExpandEveryRow() {
  wchar_t buffer[kMaxPath];
  const win32::Win32Environment environment;
  for (const ProtectedPathEntry& row : g_protectedPaths) {
    if (row.folder != KnownFolder::kNone) {
      environment.KnownFolderPath(row.folder);
    } else {
      ::ExpandEnvironmentStringsW(win32::AsWide(row.strPattern), buffer, kMaxPath);
    }
  }
}

// The trust in the agent's window: the program its process runs.
void ReadWindowsProgram(HWND window) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  const win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  wchar_t path[MAX_PATH] = {};
  DWORD units = MAX_PATH;
  ::QueryFullProcessImageNameW(process.Get(), 0, path, &units);
}

// What any QueryContextMenu has to do: look the agent up on a worker thread, read the program of
// its window's process, ask for the drive letter, expand the protected-place patterns.
LRESULT BarePlatformCalls() {
  HWND window = nullptr;
  HANDLE thread = ::CreateThread(nullptr, 0, FindAgentThread, &window, 0, nullptr);
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  ReadWindowsProgram(window);
  COPYDATASTRUCT query{1005, 0, nullptr};
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&query), SMTO_ABORTIFHUNG, 1000, &answer);
  ExpandEveryRow();
  return static_cast<LRESULT>(answer);
}

// What GetState has to do besides: ask the one item of the array for its file-system path.
LRESULT BarePlatformCallsWithPath(IShellItemArray* items) {
  win32::ComPtr<IShellItem> item;
  win32::CoTaskMemory<wchar_t> path;
  items->GetItemAt(0, item.Put());
  item->GetDisplayName(SIGDN_FILESYSPATH, path.Put());
  return BarePlatformCalls();
}

// IsProtectedPath against its expansions alone, interleaved, by medians.
void CompareProtectedPathTest() {
  const win32::Win32Environment environment;
  std::vector<double> test, bare;
  for (int i = 0; i < kRepetitions; ++i) {
    test.push_back(bench::Timed([&] { IsProtectedPath(environment, kLastItem); }));
    bare.push_back(bench::Timed(ExpandEveryRow));
  }
  const double testMedian = Median(test), bareMedian = Median(bare);
  std::printf("IsProtectedPath, unprotected path    median %9.1f us\n", testMedian);
  std::printf("%zu bare expansions (baseline)        median %9.1f us\n", kProtectedPathCount, bareMedian);
  std::printf("ratio IsProtectedPath / baseline     %.2f\n", testMedian / bareMedian);
}

int Run() {
  wine::CloseAllAgents();
  wine::AgentProcess agent(L"/drive:X");
  if (agent.Window() == nullptr) {
    std::fprintf(stderr, "the agent's window did not appear\n");
    return 1;
  }
  // Texts from the test program's own string table; the agent starts from its folder, bin\.
  win32::Win32HandlerPlatform real{::GetModuleHandleW(nullptr), nullptr};
  HandlerPlatform& platform = real.platform;
  HandlerState state;
  state.m_selection = {kLastItem};  // every selected item is judged
  std::char_traits<char16_t>::copy(state.lastItemPath, kLastItem, std::char_traits<char16_t>::length(kLastItem) + 1);

  wine::ComApartment apartment;
  wine::ScratchFolder folder(L"torvo-state-bench");
  const win32::ComPtr<IShellItemArray> items = wine::ShellItemArrayFor({folder.AddFile(L"q4.doc")});
  win32::Win32ItemArray array(items.Get());

  std::vector<double> handler, bare, command, bareWithPath;
  int inserted = 0, enabled = 0;
  for (int i = 0; i < kRepetitions; ++i) {
    HMENU popup = ::CreatePopupMenu();
    double start = NowMicroseconds();
    const HResult result = QueryContextMenu(state, platform, reinterpret_cast<MenuHandle>(popup), 0, 100, 200, 0);
    handler.push_back(NowMicroseconds() - start);
    ::DestroyMenu(popup);
    inserted += result == 1 ? 1 : 0;

    start = NowMicroseconds();
    const LRESULT letter = BarePlatformCalls();
    bare.push_back(NowMicroseconds() - start);
    if (letter != u'X') std::fprintf(stderr, "unexpected answer %lld\n", static_cast<long long>(letter));

    std::uint32_t commandState = kEcsHidden;
    command.push_back(bench::Timed([&] { GetExplorerCommandState(&array, platform, &commandState); }));
    enabled += commandState == kEcsEnabled ? 1 : 0;
    bareWithPath.push_back(bench::Timed([&] { BarePlatformCallsWithPath(items.Get()); }));
  }
  if (inserted != kRepetitions) std::fprintf(stderr, "the item was inserted %d times\n", inserted);
  if (enabled != kRepetitions) std::fprintf(stderr, "the command was enabled %d times\n", enabled);

  const double handlerMedian = Median(handler), bareMedian = Median(bare);
  std::printf("QueryContextMenu, agent running      median %9.1f us  (%d runs)\n", handlerMedian, kRepetitions);
  std::printf("bare platform calls (baseline)       median %9.1f us\n", bareMedian);
  std::printf("ratio QueryContextMenu / baseline    %.2f\n", handlerMedian / bareMedian);
  const double commandMedian = Median(command), bareWithPathMedian = Median(bareWithPath);
  std::printf("GetState, one file, agent running    median %9.1f us\n", commandMedian);
  std::printf("the same calls and the path's read   median %9.1f us\n", bareWithPathMedian);
  std::printf("ratio GetState / baseline            %.2f\n", commandMedian / bareWithPathMedian);
  CompareProtectedPathTest();
  return 0;
}

}  // namespace
}  // namespace torvo

int main() { return torvo::Run(); }
