// How long InvokeCommand holds the shell's thread for the direct move of a 1 GiB file into a vault
// on another file system (S:, a tmpfs: the move copies and deletes), against the same move run
// synchronously with SHFileOperationW, as InvokeCommand used to run it. Medians of a few runs.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/wine/timing.h"
#include "platform/win32/com_ptr.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

constexpr int kRepetitions = 3;
constexpr ULONGLONG kBytes = 1ull << 30;

win32::ComPtr<IContextMenu> HandlerFor(const wine::ServerDll& dll, const std::wstring& file) {
  CLSID clsid{};
  ::CLSIDFromString(wine::kClsidText, &clsid);
  win32::ComPtr<IClassFactory> factory;
  win32::ComPtr<IShellExtInit> init;
  win32::ComPtr<IContextMenu> menu;
  if (FAILED(dll.GetClassObject(clsid, IID_IClassFactory, factory.PutVoid()))) return menu;
  if (FAILED(factory->CreateInstance(nullptr, IID_IShellExtInit, init.PutVoid()))) return menu;
  if (FAILED(init->Initialize(nullptr, wine::ShellDataObjectFor({file}).Get(), nullptr))) return menu;
  init->QueryInterface(IID_IContextMenu, menu.PutVoid());
  return menu;
}

// Microseconds InvokeCommand holds the calling thread; then waits for the move to end.
double TimeInvokeCommand(const wine::ServerDll& dll, const std::wstring& source) {
  win32::ComPtr<IContextMenu> menu = HandlerFor(dll, source);
  if (!menu) return -1;
  CMINVOKECOMMANDINFO command{};
  command.cbSize = sizeof(command);
  command.lpVerb = MAKEINTRESOURCEA(0);
  const double held = bench::Timed([&] { menu->InvokeCommand(&command); });
  menu.Reset();
  while (dll.CanUnloadNow() != S_OK) ::Sleep(20);
  return held;
}

// Microseconds of the same move on the calling thread.
double TimeSynchronousMove(const std::wstring& source) {
  std::wstring from = source + L'\0';
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_MOVE;
  operation.pFrom = from.c_str();
  operation.pTo = L"S:\\\0";
  operation.fFlags = FOF_SIMPLEPROGRESS | FOF_NOCONFIRMMKDIR;
  return bench::Timed([&] { ::SHFileOperationW(&operation); });
}

int Run() {
  wine::ComApartment apartment;
  wine::CloseAllAgents();
  wine::AgentProcess agent(L"/ready:1 /drive:S");
  const wine::ServerDll dll;
  if (agent.Window() == nullptr || !dll.Loaded() || !wine::PathExists(wine::kTmpfsVaultRoot)) {
    std::fprintf(stderr, "needs the agent, the DLL beside the program and S: mapped to a tmpfs folder\n");
    return 1;
  }
  wine::ScratchFolder folder(L"torvo-move-bench");
  const std::wstring source = folder.Path() + L"\\large.bin";
  const std::wstring target = std::wstring(wine::kTmpfsVaultRoot) + L"large.bin";
  std::vector<double> invoke, synchronous;
  for (int i = 0; i < kRepetitions; ++i) {
    wine::CreateLargeFile(source, kBytes);
    invoke.push_back(TimeInvokeCommand(dll, source));
    if (!wine::IsWholeLargeFile(target, kBytes)) std::fprintf(stderr, "the handler's move did not arrive whole\n");
    wine::RemoveTree(target);
    wine::CreateLargeFile(source, kBytes);
    synchronous.push_back(TimeSynchronousMove(source));
    wine::RemoveTree(target);
  }
  const double held = bench::Median(invoke), whole = bench::Median(synchronous);
  std::printf("InvokeCommand holds the thread, 1 GiB move   median %12.1f us  (%d runs)\n", held, kRepetitions);
  std::printf("the same move, synchronous (baseline)        median %12.1f us\n", whole);
  std::printf("ratio InvokeCommand / baseline               %.4f\n", held / whole);
  return 0;
}

}  // namespace
}  // namespace torvo

int main() { return torvo::Run(); }
