// Initialize of the real DLL's handler with drop-file lists of 10,000 and 100,000 items, against
// one pass over the same block that copies each path: what any capture must do. Both are timed
// call by call, interleaved, and compared by their medians.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/wine/timing.h"
#include "platform/win32/com_ptr.h"
#include "tests/fakes/drop_block.h"
#include "tests/wine/support/memory_data_object.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

constexpr int kRepetitions = 21;

std::vector<std::u16string> ManyPaths(std::size_t count) {
  std::vector<std::u16string> paths;
  for (std::size_t i = 0; i < count; ++i) {
    paths.push_back(u"D:\\data\\folder\\item-" + std::u16string(20, u'x') + char16_t(u'a' + i % 26));
  }
  return paths;
}

// The baseline: lock the block, copy every path of the list, unlock.
std::size_t CopyEveryPath(HGLOBAL block) {
  const auto* header = static_cast<const DROPFILES*>(::GlobalLock(block));
  std::vector<std::wstring> copies;
  const auto* path = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(header) + header->pFiles);
  while (*path != L'\0') {
    copies.emplace_back(path);
    path += copies.back().size() + 1;
  }
  ::GlobalUnlock(block);
  return copies.size();
}

win32::ComPtr<IShellExtInit> NewHandler(const wine::ServerDll& dll) {
  win32::ComPtr<IClassFactory> factory;
  win32::ComPtr<IShellExtInit> handler;
  CLSID clsid;
  ::CLSIDFromString(wine::kClsidText, &clsid);
  if (SUCCEEDED(dll.GetClassObject(clsid, IID_IClassFactory, factory.PutVoid()))) {
    factory->CreateInstance(nullptr, IID_IShellExtInit, handler.PutVoid());
  }
  return handler;
}

// Median microseconds of Initialize and of the baseline for a list of `count` items.
std::pair<double, double> Measure(IShellExtInit& handler, std::size_t count) {
  wine::MemoryDataObject object(fakes::WideDropBlock(ManyPaths(count)), TYMED_HGLOBAL);
  std::vector<double> initialize, baseline;
  for (int i = 0; i < kRepetitions; ++i) {
    HRESULT result = E_FAIL;
    initialize.push_back(bench::Timed([&] { result = handler.Initialize(nullptr, &object, nullptr); }));
    std::size_t copied = 0;
    baseline.push_back(bench::Timed([&] { copied = CopyEveryPath(object.Block()); }));
    if (result != S_OK || copied != count) std::fprintf(stderr, "unexpected: 0x%08lX, %zu paths\n", result, copied);
  }
  return {bench::Median(initialize), bench::Median(baseline)};
}

int Run() {
  wine::ComApartment apartment;
  const wine::ServerDll dll;
  win32::ComPtr<IShellExtInit> handler = NewHandler(dll);
  if (!handler) {
    std::fprintf(stderr, "the handler could not be created\n");
    return 1;
  }
  double initializeSmall = 0;
  for (std::size_t count : {10000u, 100000u}) {
    const auto [initialize, baseline] = Measure(*handler.Get(), count);
    std::printf("Initialize, %6zu items              median %9.1f us  (%d runs)\n", count, initialize, kRepetitions);
    std::printf("one pass copying each path (baseline) median %9.1f us\n", baseline);
    std::printf("ratio Initialize / baseline           %.2f\n", initialize / baseline);
    if (count == 10000)
      initializeSmall = initialize;
    else
      std::printf("Initialize 100,000 / 10,000 items    %.2f\n", initialize / initializeSmall);
  }
  return 0;
}

}  // namespace
}  // namespace torvo

int main() { return torvo::Run(); }
