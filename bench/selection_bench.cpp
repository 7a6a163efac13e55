// The protected-place test against the bare cost of its 45 expansions, and the selection capture
// of 10,000 items against the bare reads of the drop list. Compare the pairs as ratios.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "shellmenu/protected_paths.h"
#include "shellmenu/selection.h"
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
  char16_t buffer[kMaxPath];
  for (auto _ : state) {
    for (const ProtectedPathEntry& row : g_protectedPaths) {
      benchmark::DoNotOptimize(env.ExpandVariables(row.strPattern, buffer, kMaxPath));
    }
  }
}
BENCHMARK(BM_ProtectedPathBaselineExpansionsOnly);

std::vector<std::u16string> ManyPaths() {
  std::vector<std::u16string> paths;
  for (int i = 0; i < 10000; ++i) paths.push_back(u"D:\\data\\folder\\item-" + std::u16string(20, u'x') + char16_t(u'a' + i % 26));
  return paths;
}

void BM_SelectionCapture10000(benchmark::State& state) {
  fakes::FakeDropFiles drop(ManyPaths());
  for (auto _ : state) {
    HandlerState handler;
    benchmark::DoNotOptimize(CaptureSelection(&drop, handler));
  }
}
BENCHMARK(BM_SelectionCapture10000);

// What any capture must do: ask each item's length and read it into a buffer.
void BM_SelectionBaselineDropReads10000(benchmark::State& state) {
  fakes::FakeDropFiles drop(ManyPaths());
  char16_t buffer[kMaxPath];
  for (auto _ : state) {
    const std::uint32_t count = drop.QueryFile(kDropFileCount, nullptr, 0);
    for (std::uint32_t i = 0; i < count; ++i) {
      benchmark::DoNotOptimize(drop.QueryFile(i, nullptr, 0));
      benchmark::DoNotOptimize(drop.QueryFile(i, buffer, kMaxPath));
    }
  }
}
BENCHMARK(BM_SelectionBaselineDropReads10000);

// The reads plus the one owned copy per item that keeping the selection needs.
void BM_SelectionBaselineReadsAndCopies10000(benchmark::State& state) {
  fakes::FakeDropFiles drop(ManyPaths());
  char16_t buffer[kMaxPath];
  for (auto _ : state) {
    std::vector<std::u16string> copies;
    const std::uint32_t count = drop.QueryFile(kDropFileCount, nullptr, 0);
    for (std::uint32_t i = 0; i < count; ++i) {
      benchmark::DoNotOptimize(drop.QueryFile(i, nullptr, 0));
      copies.emplace_back(buffer, drop.QueryFile(i, buffer, kMaxPath));
    }
    benchmark::DoNotOptimize(copies.data());
  }
}
BENCHMARK(BM_SelectionBaselineReadsAndCopies10000);

}  // namespace
}  // namespace torvo
