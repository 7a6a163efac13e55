// How long the agent may hold the shell's thread when it cannot answer, against the bound it is
// given (a bare wait of that long): the lookup whose worker thread cannot start (another module's
// entry point holds up the start of new threads, thread_start_probe.dll here), and a question to
// an agent whose window procedure hangs. Medians of a few runs; a ratio near 1 is the bound kept.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "bench/wine/timing.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_agent_channel.h"
#include "platform/win32/win32_environment.h"
#include "shellmenu/agent_protocol.h"
#include "tests/wine/support/agent_process.h"

namespace torvo {
namespace {

constexpr int kRuns = 5;

// The agent beside this program, as the DLL trusts the one beside it.
double TimedWithAgent(void (*ask)(const AgentLink&)) {
  win32::Win32AgentChannel channel;
  const win32::Win32Environment environment;
  const AgentLink agent{channel, environment, win32::AsUtf16(wine::AgentProgramPath().c_str())};
  return bench::Timed([&] { ask(agent); });
}

using HoldFn = void(__cdecl*)(HANDLE);

// A bare wait of the lookup's bound: what the shell's thread cannot be spared.
double BareBound() {
  const win32::UniqueHandle never(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  return bench::Timed([&] { ::WaitForSingleObject(never.Get(), kAgentLookupTimeoutMs); });
}

// The lookup while the start of its worker is held up; released afterwards.
double HeldLookup(HoldFn holdNextThreadStart) {
  const win32::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  holdNextThreadStart(release.Get());
  const double took = TimedWithAgent([](const AgentLink& agent) { FindAgentWindow(agent); });
  ::SetEvent(release.Get());
  return took;
}

// The menu's question to an agent that hangs in its window procedure, each time a fresh one: a
// window that has not answered for a while counts as hung, and a later question would not wait.
double HungQuestion() {
  wine::CloseAllAgents();
  const wine::AgentProcess hanging(L"/hang");
  if (hanging.Window() == nullptr) return -1;
  return TimedWithAgent([](const AgentLink& agent) { QueryVaultDriveLetter(agent); });
}

void Print(const char* what, const std::vector<double>& samples, double bound) {
  const double median = bench::Median(samples);
  std::printf("%-44s median %10.1f us  ratio to the bound %.2f\n", what, median, median / bound);
}

int Run() {
  const win32::UniqueLibrary probe(::LoadLibraryW(L"thread_start_probe.dll"));
  const auto hold =
      probe ? reinterpret_cast<HoldFn>(reinterpret_cast<void*>(::GetProcAddress(probe.Get(), "HoldNextThreadStart")))
            : nullptr;
  if (hold == nullptr) {
    std::fprintf(stderr, "needs thread_start_probe.dll beside the program\n");
    return 1;
  }
  std::vector<double> bare, lookup, hung;
  for (int i = 0; i < kRuns; ++i) {
    bare.push_back(BareBound());
    lookup.push_back(HeldLookup(hold));
    hung.push_back(HungQuestion());
    if (hung.back() < 0) {
      std::fprintf(stderr, "the agent's window did not appear\n");
      return 1;
    }
  }
  const double bound = bench::Median(bare);
  std::printf("%-44s median %10.1f us  (%d runs)\n", "a bare wait of the bound (baseline)", bound, kRuns);
  Print("lookup whose worker cannot start", lookup, bound);
  Print("drive letter asked of a hung agent", hung, bound);
  return 0;
}

}  // namespace
}  // namespace torvo

int main() { return torvo::Run(); }
