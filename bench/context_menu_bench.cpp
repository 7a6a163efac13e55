// QueryContextMenu over selections of 1 and 100,000 entries against the same call with 1,000
// entries: every entry is judged, the agent is asked once and the 45 protected rows are expanded
// once per call, so the cost should grow linearly with the entries (100,000 within 120 times 1,000).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "shellmenu/context_menu.h"
#include "tests/fakes/fake_handler_platform.h"

namespace torvo {
namespace {

HandlerState SelectionOf(std::size_t entries) {
  HandlerState state;
  for (std::size_t i = 0; i < entries; ++i) {
    state.m_selection.push_back(u"E:\\data\\reports\\item-" + std::u16string(20, u'x') + char16_t(u'a' + i % 26));
  }
  return state;
}

void QueryOver(benchmark::State& run, std::size_t entries) {
  fakes::FakeHandlerPlatform fake;
  fake.agent.RunAgent(0x5150, 1, u'X');
  const HandlerState state = SelectionOf(entries);
  for (auto _ : run) {
    fake.environment.expansions = 0;
    benchmark::DoNotOptimize(QueryContextMenu(state, fake.platform, 0x3E0, 0, 100, 200, 0));
    fake.journal.clear();
    fake.menu.insertions.clear();
    fake.menu.images.clear();
    fake.agent.lookups.clear();
    fake.agent.queries.clear();
  }
  run.counters["expansions_per_call"] = fake.environment.expansions;
}

void BM_QueryContextMenu(benchmark::State& run) { QueryOver(run, static_cast<std::size_t>(run.range(0))); }
BENCHMARK(BM_QueryContextMenu)->Arg(1)->Arg(100000);

void BM_QueryContextMenuBaseline1000Entries(benchmark::State& run) { QueryOver(run, 1000); }
BENCHMARK(BM_QueryContextMenuBaseline1000Entries);

}  // namespace
}  // namespace torvo
