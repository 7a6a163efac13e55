// The protected-place test against the bare cost of its expansions (one per row), and the selection capture
// of 10,000 and 100,000 items against one pass over the same block that copies each path. Compare
// the pairs as ratios.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "shellmenu/protected_paths.h"
#include "shellmenu/selection.h"
#include "tests/fakes/drop_block.h"
#include "tests/fakes/fake_drop_files.h"
#include "tests/fakes/fake_environment.h"

namespace torvo {
namespace {

void BM_ProtectedPathUnprotected(benchmark::State& state) {
  const fakes::FakeEnvironment env = fakes::ExampleMachine();
  for (auto _ : state) benchmark::DoNotOptimize(IsProtectedPath(env, u"D:\\data\\reports\\2026\\q4.doc"));
}
BENCHMARK(BM_ProtectedPathUnprotected);

void BM_ProtectedPathBaselineExpansionsOnly(benchmark::State& state) {
  const fakes::FakeEnvironment env = fakes::ExampleMachine();
  for (auto _ : state) {
    for (const ProtectedPathEntry& row : g_protectedPaths)
      benchmark::DoNotOptimize(env.ExpandVariables(row.strPattern));
  }
}
BENCHMARK(BM_ProtectedPathBaselineExpansionsOnly);

std::vector<std::u16string> ManyPaths(int count) {
  std::vector<std::u16string> paths;
  for (int i = 0; i < count; ++i) {
    paths.push_back(u"D:\\data\\folder\\item-" + std::u16string(20, u'x') + char16_t(u'a' + i % 26));
  }
  return paths;
}

void BM_SelectionCapture(benchmark::State& state) {
  fakes::FakeDropFiles drop(ManyPaths(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    HandlerState handler;
    benchmark::DoNotOptimize(CaptureSelection(&drop, handler));
  }
}
BENCHMARK(BM_SelectionCapture)->Arg(10000)->Arg(100000);

// What any capture must do: walk the block once and keep one owned copy of each path.
void BM_SelectionBaselineOnePassCopies(benchmark::State& state) {
  const std::vector<std::uint8_t> block = fakes::WideDropBlock(ManyPaths(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    std::vector<std::u16string> copies;
    std::u16string path;
    for (std::size_t at = 20; at + 1 < block.size(); at += 2) {
      const char16_t unit = static_cast<char16_t>(block[at] | block[at + 1] << 8);
      if (unit != 0) {
        path.push_back(unit);
      } else if (path.empty()) {
        break;
      } else {
        copies.push_back(path);
        path.clear();
      }
    }
    benchmark::DoNotOptimize(copies.data());
  }
}
BENCHMARK(BM_SelectionBaselineOnePassCopies)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace torvo
