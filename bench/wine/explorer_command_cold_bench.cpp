// What Windows 11's menu pays the first time it shows the command in a fresh process (COM's
// surrogate starts one): the DLL loaded, its Explorer command created and asked for its state on
// one file (and, reported beside it, on one folder), against minimal_handler.dll's command, which
// makes the same platform calls and holds nothing else. Each sample runs in a process of its own,
// the two DLLs taking turns; medians. Both DLLs are the stripped copies in bin\shipped, as a
// release ships them.
#include <windows.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/wine/timing.h"
#include "platform/win32/com_ptr.h"
#include "resources/explorer_command_ids.h"
#include "bench/wine/minimal_handler/minimal_handler_ids.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

constexpr int kRuns = 15;

struct Command {
  const wchar_t* dll;
  const CLSID* clsid;
};
constexpr Command kOurs{L"TorvoShellMenu.dll", &CLSID_TorvoExplorerCommand};
constexpr Command kMinimal{L"minimal_handler.dll", &kMinimalCommandClsid};

// In the fresh process: microseconds from the DLL's load to GetState's answer on `file`'s item
// array (made first, as the shell has it before it asks); negative when a step failed.
double FirstState(const Command& command, const std::wstring& file) {
  const wine::ComApartment apartment;
  const win32::ComPtr<IShellItemArray> items = wine::ShellItemArrayFor({file});
  if (!items) return -1;
  EXPCMDSTATE state = ECS_HIDDEN;
  HRESULT hr = E_FAIL;
  std::unique_ptr<wine::ServerDll> dll;
  win32::ComPtr<IClassFactory> factory;
  win32::ComPtr<IExplorerCommand> explorerCommand;
  const double took = bench::Timed([&] {
    dll = std::make_unique<wine::ServerDll>(wine::ProgramFolder() + L"shipped\\" + command.dll);
    hr = dll->GetClassObject(*command.clsid, IID_IClassFactory, factory.PutVoid());
    if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IExplorerCommand, explorerCommand.PutVoid());
    if (SUCCEEDED(hr)) hr = explorerCommand->GetState(items.Get(), TRUE, &state);
  });
  return SUCCEEDED(hr) && state == ECS_ENABLED ? took : -1;
}

// One sample: this program started again for `which`; its microseconds, negative on failure.
double Sample(const wchar_t* which, const std::wstring& file) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + which + L" \"" + file + L"\"";
  const wine::ProgramRun run = wine::RunProgram(commandLine);
  if (!run.started || run.hung || run.exitCode != 0) return -1;
  return std::strtod(run.output.c_str(), nullptr);
}

// Both DLLs' medians over kRuns processes each for one item, taking turns; false when a run failed.
bool Medians(const std::wstring& item, double& ours, double& minimal) {
  std::vector<double> oursRuns, minimalRuns;
  for (int i = 0; i < kRuns; ++i) {
    oursRuns.push_back(Sample(L"ours", item));
    minimalRuns.push_back(Sample(L"minimal", item));
    if (oursRuns.back() < 0 || minimalRuns.back() < 0) return false;
  }
  ours = bench::Median(oursRuns);
  minimal = bench::Median(minimalRuns);
  return true;
}

int Compare() {
  wine::CloseAllAgents();
  wine::AgentProcess agent(L"/ready:1 /drive:V");
  if (agent.Window() == nullptr) {
    std::fprintf(stderr, "the agent's window did not appear\n");
    return 1;
  }
  wine::ScratchFolder folder(L"torvo-cold-bench");
  // A file, the common right-click; a folder, for which the user's known folders are read as well.
  const std::wstring file = folder.AddFile(L"q4.doc"), photos = folder.AddFolder(L"photos");
  double ours = 0, minimal = 0, oursFolder = 0, minimalFolder = 0;
  if (!Medians(file, ours, minimal) || !Medians(photos, oursFolder, minimalFolder)) {
    std::fprintf(stderr, "a first GetState failed\n");
    return 1;
  }
  std::printf("first load, create, GetState on a file: TorvoShellMenu.dll  median %9.1f us  (%d processes each)\n",
              ours, kRuns);
  std::printf("the same of minimal_handler.dll (baseline)                 median %9.1f us\n", minimal);
  std::printf("ratio first GetState on a file / baseline                  %.2f  (goal <= 1.1)\n", ours / minimal);
  std::printf("ratio first GetState on a folder / baseline on that folder %.2f  (the known folders read)\n",
              oursFolder / minimalFolder);
  return 0;
}

}  // namespace
}  // namespace torvo

int wmain(int argc, wchar_t** argv) {
  if (argc == 3) {
    const bool ours = std::wstring(argv[1]) == L"ours";
    std::printf("%.1f\n", torvo::FirstState(ours ? torvo::kOurs : torvo::kMinimal, argv[2]));
    return 0;
  }
  return torvo::Compare();
}
