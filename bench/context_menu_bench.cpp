// QueryContextMenu over selections of 1 and 100,000 entries against the same call with 1,000
// entries: every entry is judged, the agent is asked once and the protected rows are expanded
// once per call, so the cost should grow linearly with the entries (100,000 within 120 times 1,000).
// The Explorer command's GetState likewise over item arrays of 1 and 100,000 items, against 1,000:
// each item's path is asked once, then the same decision runs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "shellmenu/context_menu.h"
#include "shellmenu/explorer_command.h"
#include "tests/fakes/fake_handler_platform.h"
#include "tests/fakes/fake_item_array.h"

namespace torvo {
namespace {

std::vector<std::u16string> PathsOf(std::size_t entries) {
  std::vector<std::u16string> paths;
  for (std::size_t i = 0; i < entries; ++i) {
    paths.push_back(u"E:\\data\\reports\\item-" + std::u16string(20, u'x') + char16_t(u'a' + i % 26));
  }
  return paths;
}

HandlerState SelectionOf(std::size_t entries) { return HandlerState{PathsOf(entries)}; }

// The recorded calls of one pass, cleared so that the fakes do not grow over the run.
void ForgetCalls(fakes::FakeHandlerPlatform& fake) {
  fake.journal.clear();
  fake.menu.insertions.clear();
  fake.menu.images.clear();
  fake.agent.lookups.clear();
  fake.agent.queries.clear();
}

void QueryOver(benchmark::State& run, std::size_t entries) {
  fakes::FakeHandlerPlatform fake;
  fake.agent.RunAgent(0x5150, 1, u'X');
  const HandlerState state = SelectionOf(entries);
  for (auto _ : run) {
    fake.environment.expansions = 0;
    benchmark::DoNotOptimize(QueryContextMenu(state, fake.platform, 0x3E0, 0, 100, 200, 0));
    ForgetCalls(fake);
  }
  run.counters["expansions_per_call"] = fake.environment.expansions;
}

void BM_QueryContextMenu(benchmark::State& run) { QueryOver(run, static_cast<std::size_t>(run.range(0))); }
BENCHMARK(BM_QueryContextMenu)->Arg(1)->Arg(100000);

void BM_QueryContextMenuBaseline1000Entries(benchmark::State& run) { QueryOver(run, 1000); }
BENCHMARK(BM_QueryContextMenuBaseline1000Entries);

void StateOver(benchmark::State& run, std::size_t entries) {
  fakes::FakeHandlerPlatform fake;
  fake.agent.RunAgent(0x5150, 1, u'X');
  const std::vector<std::u16string> paths = PathsOf(entries);
  fakes::FakeItemArray items(std::vector<std::optional<std::u16string>>(paths.begin(), paths.end()));
  std::uint32_t state = 0;
  for (auto _ : run) {
    benchmark::DoNotOptimize(GetExplorerCommandState(&items, fake.platform, &state));
    ForgetCalls(fake);
  }
  if (state != kEcsEnabled) run.SkipWithError("the command was hidden");
}

void BM_GetState(benchmark::State& run) { StateOver(run, static_cast<std::size_t>(run.range(0))); }
BENCHMARK(BM_GetState)->Arg(1)->Arg(100000);

void BM_GetStateBaseline1000Items(benchmark::State& run) { StateOver(run, 1000); }
BENCHMARK(BM_GetStateBaseline1000Items);

}  // namespace
}  // namespace torvo
