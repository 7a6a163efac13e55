// QueryContextMenu with the agent running, against the bare platform calls it cannot avoid: one
// worker thread that runs FindWindowW, one WM_COPYDATA query, the expansions of the protected-place
// test (one per row of variables; the known folders change only at sign-in, and a load reads them
// once) and the item's insert with its image. A second baseline adds what a load reads once, the
// known folders and the program of the agent's window, as if read at every call. The Explorer
// command's GetState for one real file likewise, against the same calls (without the insert) and
// the one read of the item's path from the shell's item array. All are timed call
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

// What a load reads once and every call would read without it.
enum class Reads { kOncePerLoad, kEveryCall };

// The protected-place test's own platform calls: one expansion per row of variables; with
// kEveryCall, the known folders' paths read where Windows keeps them too.
void ExpandEveryRow(Reads reads = Reads::kEveryCall) {
  wchar_t buffer[kMaxPath];
  const win32::Win32Environment environment;
  for (const ProtectedPathEntry& row : g_protectedPaths) {
    if (row.folder == KnownFolder::kNone) {
      ::ExpandEnvironmentStringsW(win32::AsWide(row.strPattern), buffer, kMaxPath);
    } else if (reads == Reads::kEveryCall) {
      environment.KnownFolderPath(row.folder);
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

// What any decision has to do: look the agent up on a worker thread, ask for the drive letter,
// expand the protected-place patterns; with kEveryCall, read the program of the agent window's
// process and the known folders too.
LRESULT BarePlatformCalls(Reads reads = Reads::kOncePerLoad) {
  HWND window = nullptr;
  HANDLE thread = ::CreateThread(nullptr, 0, FindAgentThread, &window, 0, nullptr);
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  if (reads == Reads::kEveryCall) ReadWindowsProgram(window);
  COPYDATASTRUCT query{1005, 0, nullptr};
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&query), SMTO_ABORTIFHUNG, 1000, &answer);
  ExpandEveryRow(reads);
  return static_cast<LRESULT>(answer);
}

// What any QueryContextMenu has to do: the decision's calls and the item's insert with its image.
LRESULT BareMenuCalls(HMENU menu, HBITMAP image, Reads reads) {
  const LRESULT answer = BarePlatformCalls(reads);
  ::InsertMenuW(menu, 0, MF_BYPOSITION | MF_STRING, 100, L"Move to the vault");
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_BITMAP;
  info.hbmpItem = image;
  ::SetMenuItemInfoW(menu, 0, TRUE, &info);
  return answer;
}

// Times the menu calls into a fresh menu; the answer's letter is checked.
double TimedBareMenuCalls(HBITMAP image, Reads reads) {
  HMENU popup = ::CreatePopupMenu();
  LRESULT letter = 0;
  const double took = bench::Timed([&] { letter = BareMenuCalls(popup, image, reads); });
  ::DestroyMenu(popup);
  if (letter != u'X') std::fprintf(stderr, "unexpected answer %lld\n", static_cast<long long>(letter));
  return took;
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
    bare.push_back(bench::Timed([] { ExpandEveryRow(); }));
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
  // What a load of the DLL reads once, kept for the whole run as a load keeps it.
  win32::LoadCaches caches;
  win32::Win32HandlerPlatform real{::GetModuleHandleW(nullptr), nullptr, {}, &caches};
  HandlerPlatform& platform = real.platform;
  HandlerState state;
  state.m_selection = {kLastItem};  // every selected item is judged
  std::char_traits<char16_t>::copy(state.lastItemPath, kLastItem, std::char_traits<char16_t>::length(kLastItem) + 1);

  wine::ComApartment apartment;
  wine::ScratchFolder folder(L"torvo-state-bench");
  const win32::ComPtr<IShellItemArray> items = wine::ShellItemArrayFor({folder.AddFile(L"q4.doc")});
  win32::Win32ItemArray array(items.Get());

  const win32::UniqueGdiObject image(::CreateBitmap(16, 16, 1, 32, nullptr));
  state.menuBitmap = reinterpret_cast<BitmapHandle>(image.Get());
  std::vector<double> handler, bare, bareEveryRead, command, bareWithPath;
  int inserted = 0, enabled = 0;
  for (int i = 0; i < kRepetitions; ++i) {
    HMENU popup = ::CreatePopupMenu();
    double start = NowMicroseconds();
    const HResult result = QueryContextMenu(state, platform, reinterpret_cast<MenuHandle>(popup), 0, 100, 200, 0);
    handler.push_back(NowMicroseconds() - start);
    ::DestroyMenu(popup);
    inserted += result == 1 ? 1 : 0;

    bare.push_back(TimedBareMenuCalls(static_cast<HBITMAP>(image.Get()), Reads::kOncePerLoad));
    bareEveryRead.push_back(TimedBareMenuCalls(static_cast<HBITMAP>(image.Get()), Reads::kEveryCall));

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
  std::printf("ratio QueryContextMenu / baseline    %.2f  (goal <= 1.2)\n", handlerMedian / bareMedian);
  const double everyReadMedian = Median(bareEveryRead);
  std::printf("the same with the load's reads again median %9.1f us\n", everyReadMedian);
  std::printf("ratio QueryContextMenu / that        %.2f\n", handlerMedian / everyReadMedian);
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
