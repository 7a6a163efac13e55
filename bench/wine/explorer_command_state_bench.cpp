// GetState of the DLL's Explorer command on 10,000 real files, through the items' data object (one
// drop-file list read in one pass), against the classic handler's Initialize and QueryContextMenu
// on the same data object: what the classic menu costs for the same selection. Both run with the
// agent running, timed call by call, interleaved, and compared by their medians. Beside them,
// GetState on Wine's own array, which offers no data object, so that each item's path is asked on
// its own: reported, for what a shell without the data object costs.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/wine/timing.h"
#include "platform/win32/com_ptr.h"
#include "resources/explorer_command_ids.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/data_object_item_array.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

constexpr int kItems = 10000;
constexpr int kRepetitions = 11;
constexpr int kItemByItemRepetitions = 1;  // about two minutes under Wine

using win32::ComPtr;

template <class Interface>
ComPtr<Interface> Create(const wine::ServerDll& dll, REFCLSID clsid, REFIID iid) {
  ComPtr<IClassFactory> factory;
  ComPtr<Interface> object;
  if (SUCCEEDED(dll.GetClassObject(clsid, IID_IClassFactory, factory.PutVoid()))) {
    factory->CreateInstance(nullptr, iid, object.PutVoid());
  }
  return object;
}

// The classic menu for the data object: Initialize, then QueryContextMenu into a fresh menu.
HRESULT ClassicMenu(IShellExtInit& init, IContextMenu& menu, IDataObject* dataObject) {
  HRESULT result = init.Initialize(nullptr, dataObject, nullptr);
  HMENU popup = ::CreatePopupMenu();
  if (SUCCEEDED(result)) result = menu.QueryContextMenu(popup, 0, 100, 200, CMF_NORMAL);
  ::DestroyMenu(popup);
  return result;
}

int Run() {
  wine::CloseAllAgents();
  wine::AgentProcess agent(L"/drive:X");
  wine::ComApartment apartment;
  const wine::ServerDll dll;
  CLSID classic{};
  ::CLSIDFromString(wine::kClsidText, &classic);
  const ComPtr<IShellExtInit> init = Create<IShellExtInit>(dll, classic, IID_IShellExtInit);
  ComPtr<IContextMenu> menu;
  const ComPtr<IExplorerCommand> command =
      Create<IExplorerCommand>(dll, CLSID_TorvoExplorerCommand, IID_IExplorerCommand);
  if (agent.Window() == nullptr || !init || !command ||
      FAILED(init->QueryInterface(IID_IContextMenu, menu.PutVoid()))) {
    std::fprintf(stderr, "the agent, the handler or the command is missing\n");
    return 1;
  }

  wine::ScratchFolder folder(L"torvo-state-bench-10000");
  std::vector<std::wstring> paths;
  for (int i = 0; i < kItems; ++i) paths.push_back(folder.AddFile(L"item-" + std::to_wstring(i) + L".txt"));
  const ComPtr<IDataObject> dataObject = wine::ShellDataObjectFor(paths);
  ComPtr<IShellItemArray> items;
  ::SHCreateShellItemArrayFromDataObject(dataObject.Get(), IID_IShellItemArray, items.PutVoid());
  if (!dataObject || !items) {
    std::fprintf(stderr, "no data object or item array for the files\n");
    return 1;
  }
  wine::DataObjectItemArray withDataObject(items.Get(), dataObject.Get());

  std::vector<double> state, classicMenu, itemByItem;
  int unexpected = 0;
  for (int i = 0; i < kRepetitions; ++i) {
    EXPCMDSTATE answer = ECS_HIDDEN;
    state.push_back(bench::Timed([&] { command->GetState(&withDataObject, TRUE, &answer); }));
    HRESULT result = E_FAIL;
    classicMenu.push_back(bench::Timed([&] { result = ClassicMenu(*init.Get(), *menu.Get(), dataObject.Get()); }));
    unexpected += answer != ECS_ENABLED || result != 1 ? 1 : 0;
  }
  for (int i = 0; i < kItemByItemRepetitions; ++i) {
    EXPCMDSTATE answer = ECS_HIDDEN;
    itemByItem.push_back(bench::Timed([&] { command->GetState(items.Get(), TRUE, &answer); }));
    unexpected += answer != ECS_ENABLED ? 1 : 0;
  }
  if (unexpected != 0 || withDataObject.itemReads != 0) {
    std::fprintf(stderr, "%d unexpected answers, %d items read one by one through the data object's array\n",
                 unexpected, withDataObject.itemReads);
  }

  const double stateMedian = bench::Median(state), classicMedian = bench::Median(classicMenu);
  std::printf("GetState, %d files, data object          median %11.1f us  (%d runs)\n", kItems, stateMedian,
              kRepetitions);
  std::printf("Initialize + QueryContextMenu (baseline)    median %11.1f us\n", classicMedian);
  std::printf("ratio GetState / baseline (goal <= 2)       %.2f\n", stateMedian / classicMedian);
  const double itemMedian = bench::Median(itemByItem);
  std::printf("GetState, item by item (no data object)     median %11.1f us  (%d run)\n", itemMedian,
              kItemByItemRepetitions);
  std::printf("ratio item by item / baseline               %.0f\n", itemMedian / classicMedian);
  return 0;
}

}  // namespace
}  // namespace torvo

int main() { return torvo::Run(); }
