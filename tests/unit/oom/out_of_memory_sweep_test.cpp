// Every allocation of every portable entry operation may fail: for N = 1, 2, ... the Nth
// allocation throws, until the operation runs through without reaching it. Each time, called
// through the COM boundary's guard: the answer is the out-of-memory result (or the one the
// operation's contract states), no block is leaked, the handler's state is the old one or wholly
// the new one, and the registry holds nothing outside what the script names and loses nothing
// that a complete removal keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/com_boundary.h"
#include "registrar/registry_resource.h"
#include "shellmenu/context_menu.h"
#include "shellmenu/explorer_command.h"
#include "shellmenu/move_list_file.h"
#include "shellmenu/selection.h"
#include "tests/fakes/drop_block.h"
#include "tests/fakes/fake_drop_files.h"
#include "tests/fakes/fake_handler_platform.h"
#include "tests/fakes/fake_item_array.h"
#include "tests/fakes/fake_script_source.h"
#include "tests/fakes/memory_registry.h"
#include "tests/fakes/registry_scripts.h"
#include "tests/unit/oom/failing_allocator.h"
#include "tests/unit/registrar/registrar_test_support.h"
#include "tools/mover/list_move.h"

namespace torvo {
namespace {

constexpr MenuHandle kMenu = 0x3E0;
constexpr WindowHandle kAgentWindow = 0x5150;

// One attempt with the `failAt`-th allocation failing; true when the operation ran through.
using Attempt = std::function<bool(std::size_t failAt)>;

// Runs the call through the boundary guard with the allocator armed; `failed` tells whether the
// injected failure was reached.
template <class Call>
HResult Armed(std::size_t failAt, bool& failed, Call&& call) {
  oom::Arm(failAt);
  const HResult result = AtComBoundary(call);
  failed = oom::Disarm();
  return result;
}

// ---- selection capture ----

HandlerState EarlierState() {
  HandlerState state;
  state.m_selection = {u"D:\\earlier"};
  std::char_traits<char16_t>::copy(state.lastItemPath, u"D:\\earlier", 11);
  return state;
}

Attempt Capture(std::vector<std::uint8_t> block, std::vector<std::u16string> expected) {
  return [block = std::move(block), expected = std::move(expected)](std::size_t failAt) {
    HandlerState state = EarlierState();
    fakes::FakeDropFiles drop(block);
    bool failed = false;
    const HResult result = Armed(failAt, failed, [&] { return CaptureSelection(&drop, state); });
    const bool whole = failed ? state.m_selection == EarlierState().m_selection : state.m_selection == expected;
    const std::u16string last(state.lastItemPath);
    EXPECT_EQ(result, failed ? kOutOfMemory : kOk);
    EXPECT_TRUE(whole) << "a partial selection after allocation " << failAt;
    EXPECT_EQ(last, failed ? u"D:\\earlier" : expected.back()) << "after allocation " << failAt;
    return !failed;
  };
}

std::vector<std::u16string> Paths(std::size_t count) {
  std::vector<std::u16string> paths;
  for (std::size_t i = 0; i < count; ++i) paths.push_back(u"D:\\data\\item-" + std::u16string(1 + i % 40, u'x'));
  return paths;
}

std::vector<std::string> AnsiPaths(std::size_t count) {
  std::vector<std::string> paths;
  for (const std::u16string& path : Paths(count)) paths.emplace_back(path.begin(), path.end());
  return paths;
}

// ---- the menu and the command ----

HandlerState Selection(std::u16string last) {
  HandlerState state;
  state.m_selection = {u"E:\\a.txt", u"E:\\b.txt", last};
  std::copy(last.begin(), last.end(), state.lastItemPath);
  return state;
}

Attempt Query(std::u16string last, HResult complete) {
  return [last = std::move(last), complete](std::size_t failAt) {
    const HandlerState state = Selection(last);
    fakes::FakeHandlerPlatform fake;
    fake.agent.RunAgent(kAgentWindow, 1, u'X');
    bool failed = false;
    const HResult result =
        Armed(failAt, failed, [&] { return QueryContextMenu(state, fake.platform, kMenu, 0, 100, 200, 0); });
    EXPECT_EQ(result, failed ? kOutOfMemory : complete) << "after allocation " << failAt;
    return !failed;
  };
}

Attempt CommandString(std::uint32_t type) {
  return [type](std::size_t failAt) {
    fakes::FakeHandlerPlatform fake;
    char buffer[128];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    bool failed = false;
    const HResult result = Armed(failAt, failed, [&] { return GetCommandString(fake.platform, 0, type, buffer, 64); });
    EXPECT_EQ(result, failed ? kOutOfMemory : kOk) << "after allocation " << failAt;
    EXPECT_TRUE(!failed || buffer[0] == '#') << "written although memory ran out at " << failAt;
    return !failed;
  };
}

// InvokeCommand answers kOk whatever the hand-off yields, memory exhaustion included.
Attempt Invoke(std::uint64_t ready) {
  return [ready](std::size_t failAt) {
    const HandlerState state = Selection(u"E:\\c.txt");
    fakes::FakeHandlerPlatform fake;
    fake.agent.RunAgent(kAgentWindow, ready, u'X');
    const InvokeCommandRecord record{0};
    bool failed = false;
    const HResult result = Armed(failAt, failed, [&] { return InvokeCommand(state, fake.platform, &record); });
    EXPECT_EQ(result, kOk) << "after allocation " << failAt;
    EXPECT_TRUE(failed || fake.mover.operations.size() + fake.starter.starts.size() == 1u) << "no hand-off";
    return !failed;
  };
}

// ---- the Explorer command on an item array ----

fakes::FakeItemArray ItemsEndingWith(std::u16string last,
                                     fakes::DataObjectOffer offer = fakes::DataObjectOffer::kNone) {
  return fakes::FakeItemArray({u"E:\\a.txt", u"E:\\b.txt", std::move(last)}, offer);
}

// GetState answers the out-of-memory result with the command hidden.
Attempt ItemState(std::u16string last, std::uint32_t complete,
                  fakes::DataObjectOffer offer = fakes::DataObjectOffer::kNone) {
  return [last = std::move(last), complete, offer](std::size_t failAt) {
    fakes::FakeItemArray items = ItemsEndingWith(last, offer);
    fakes::FakeHandlerPlatform fake;
    fake.agent.RunAgent(kAgentWindow, 1, u'X');
    std::uint32_t state = 0xFF;
    bool failed = false;
    const HResult result =
        Armed(failAt, failed, [&] { return GetExplorerCommandState(&items, fake.platform, &state); });
    EXPECT_EQ(result, failed ? kOutOfMemory : kOk) << "after allocation " << failAt;
    EXPECT_EQ(state, failed ? kEcsHidden : complete) << "after allocation " << failAt;
    return !failed;
  };
}

// Invoke runs out of memory before the hand-off, or hands over as InvokeCommand does.
Attempt ItemInvoke(std::uint64_t ready) {
  return [ready](std::size_t failAt) {
    fakes::FakeItemArray items = ItemsEndingWith(u"E:\\c.txt");
    fakes::FakeHandlerPlatform fake;
    fake.agent.RunAgent(kAgentWindow, ready, u'X');
    bool failed = false;
    const HResult result = Armed(failAt, failed, [&] { return InvokeExplorerCommand(&items, fake.platform); });
    const std::size_t handOffs = fake.mover.operations.size() + fake.starter.starts.size();
    EXPECT_TRUE(result == kOk || (failed && result == kOutOfMemory && handOffs == 0)) << "after allocation " << failAt;
    EXPECT_TRUE(failed || handOffs == 1u) << "no hand-off";
    return !failed;
  };
}

// The list file's contract: its path, or the empty string when any step failed.
Attempt ListFile() {
  return [](std::size_t failAt) {
    const HandlerState state = Selection(u"E:\\c.txt");
    fakes::FakeTempFiles files;
    bool failed = false;
    std::u16string path;
    const HResult result = Armed(failAt, failed, [&] {
      path = WriteMoveListFile(state, files);
      return kOk;
    });
    EXPECT_EQ(result, kOk);
    EXPECT_EQ(path.empty(), failed) << "after allocation " << failAt;
    return !failed;
  };
}

// torvo-move.exe's work on a list of three items into X:\ (there) or Q:\ (gone: the agent's).
Attempt MoverRun(std::u16string root, mover::MoverExit complete) {
  return [root = std::move(root), complete](std::size_t failAt) {
    fakes::FakeHandlerPlatform fake;
    const std::u16string list = WriteMoveListFile(Selection(u"E:\\c.txt"), fake.tempFiles);
    fake.mover.existing.insert(fake.mover.existing.end(), {u"E:\\a.txt", u"E:\\b.txt", u"E:\\c.txt"});
    mover::MoverPlatform platform{fake.tempFiles, fake.mover, fake.starter, fake.texts, fake.environment};
    const std::vector<std::u16string> arguments = {root, list};
    bool failed = false;
    mover::MoverExit exit = mover::MoverExit::kMoved;
    Armed(failAt, failed, [&] {
      exit = mover::RunListMove(arguments, platform);
      return kOk;
    });
    EXPECT_EQ(exit, failed ? mover::MoverExit::kOutOfMemory : complete) << "after allocation " << failAt;
    return !failed;
  };
}

// ---- the registry scripts ----

class TorvoModule : public RegistrarModule {
 public:
  HResult AddCommonSubstitutions(IRegistrarBase& registrar) override {
    return registrar.AddSubstitution(u"APPID", fakes::kAppId);
  }
};

// The in-memory registry with keys of other programs beside and below the ones the scripts name.
void AddForeignKeys(fakes::MemoryRegistry& registry) {
  registry.AddString(kHkeyClassesRoot, u"CLSID\\{Foreign}\\InprocServer32", u"", u"other.dll");
  registry.AddString(kHkeyClassesRoot, u"*\\ShellEx\\ContextMenuHandlers\\Other", u"", u"{Foreign}");
  registry.AddString(kHkeyCurrentUser, u"Software\\Classes\\*\\ShellEx\\ContextMenuHandlers\\Other", u"", u"x");
  registry.AddString(kHkeyLocalMachine,
                     u"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved\\Other", u"", u"x");
}

struct ScriptWorld {
  TorvoModule module;
  fakes::FakeScriptSource source;
  fakes::MemoryRegistry registry;

  explicit ScriptWorld(bool registered) {
    source.registryResources[101] = std::string(fakes::kAppIdScript);
    source.registryResources[102] = std::string(fakes::kHandlerScript);
    AddForeignKeys(registry);
    if (registered) {
      EXPECT_EQ(Apply(101, true), kOk);
      EXPECT_EQ(Apply(102, true), kOk);
    }
  }
  HResult Apply(std::uint16_t number, bool registerFlag) {
    const SubstitutionEntry entries[] = {{u"APPID", fakes::kAppId}, {nullptr, nullptr}};
    return ApplyRegistryResource(module, source, registry, number, registerFlag, number == 101 ? entries : nullptr);
  }
  HResult Check(std::uint16_t number, std::vector<RegistryDifference>& differences) {
    const SubstitutionEntry entries[] = {{u"APPID", fakes::kAppId}, {nullptr, nullptr}};
    return CheckRegistryResource(module, source, registry, number, number == 101 ? entries : nullptr, differences);
  }
};

std::set<std::string> Lines(const fakes::MemoryRegistry& registry) {
  const std::vector<std::string> dump = registry.Dump();
  return {dump.begin(), dump.end()};
}

bool IsSubset(const std::set<std::string>& part, const std::set<std::string>& whole) {
  return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

// Applying (registerFlag) or removing script `number`: a failed apply leaves only what was there
// or what a complete apply writes; a failed removal keeps whatever a complete removal keeps.
Attempt Script(std::uint16_t number, bool registerFlag, bool perUser) {
  return [number, registerFlag, perUser](std::size_t failAt) {
    const testing_support::PerUserMode mode(perUser);
    std::set<std::string> before, complete;
    {
      ScriptWorld world(!registerFlag);
      before = Lines(world.registry);
      EXPECT_EQ(world.Apply(number, registerFlag), kOk);
      complete = Lines(world.registry);
    }
    ScriptWorld world(!registerFlag);
    bool failed = false;
    const HResult result = Armed(failAt, failed, [&] { return world.Apply(number, registerFlag); });
    const std::set<std::string> after = Lines(world.registry);
    // A failure the engine recovers from (a caller's variable that the module gives again) may
    // still end in the complete result.
    const bool recovered = result == kOk && after == complete;
    EXPECT_TRUE(failed ? (result == kOutOfMemory || recovered) : recovered)
        << "result " << std::hex << result << " after allocation " << std::dec << failAt;
    EXPECT_EQ(world.registry.OpenHandles(), 0u) << "a key left open after allocation " << failAt;
    std::set<std::string> allowed = before;
    allowed.insert(complete.begin(), complete.end());
    std::set<std::string> kept;
    std::set_intersection(before.begin(), before.end(), complete.begin(), complete.end(),
                          std::inserter(kept, kept.begin()));
    EXPECT_TRUE(!registerFlag || IsSubset(after, allowed)) << "a stray entry after allocation " << failAt;
    EXPECT_TRUE(registerFlag || IsSubset(kept, after)) << "a kept entry removed after allocation " << failAt;
    return !failed;
  };
}

// Checking script `number` of a complete registration: out of memory, or no difference; never a
// write.
Attempt CheckScript(std::uint16_t number) {
  return [number](std::size_t failAt) {
    ScriptWorld world(true);
    const int writes = world.registry.writeRequests;
    std::vector<RegistryDifference> differences;
    bool failed = false;
    const HResult result = Armed(failAt, failed, [&] { return world.Check(number, differences); });
    EXPECT_TRUE(result == kOk ? differences.empty() : failed && result == kOutOfMemory)
        << "result " << std::hex << result << " after allocation " << std::dec << failAt;
    EXPECT_EQ(world.registry.writeRequests, writes) << "a write after allocation " << failAt;
    EXPECT_EQ(world.registry.OpenHandles(), 0u) << "a key left open after allocation " << failAt;
    return !failed;
  };
}

struct SweepCase {
  std::string name;
  Attempt attempt;
};

std::vector<SweepCase> Cases() {
  std::vector<SweepCase> cases = {
      {"capture, UTF-16, 3 items", Capture(fakes::WideDropBlock(Paths(3)), Paths(3))},
      {"capture, UTF-16, 1,000 items", Capture(fakes::WideDropBlock(Paths(1000)), Paths(1000))},
      {"capture, ANSI, 3 items", Capture(fakes::AnsiDropBlock(AnsiPaths(3)), Paths(3))},
      {"capture, ANSI, 1,000 items", Capture(fakes::AnsiDropBlock(AnsiPaths(1000)), Paths(1000))},
      {"QueryContextMenu, item offered", Query(u"E:\\c.txt", 1)},
      {"QueryContextMenu, item left out", Query(u"D:\\Windows", kOk)},
      {"GetCommandString, wide", CommandString(kGcsUnicode | kGcsHelpTextA)},
      {"GetCommandString, ANSI", CommandString(kGcsHelpTextA)},
      {"InvokeCommand, direct move", Invoke(1)},
      {"InvokeCommand, list file and launch", Invoke(0)},
      {"GetState, item array, shown", ItemState(u"E:\\c.txt", kEcsEnabled)},
      {"GetState, item array, hidden", ItemState(u"D:\\Windows", kEcsHidden)},
      {"GetState, data object, shown", ItemState(u"E:\\c.txt", kEcsEnabled, fakes::DataObjectOffer::kDropList)},
      {"Invoke, item array, direct move", ItemInvoke(1)},
      {"Invoke, item array, list file and launch", ItemInvoke(0)},
      {"move list file", ListFile()},
      {"torvo-move, list moved", MoverRun(u"X:\\", mover::MoverExit::kMoved)},
      {"torvo-move, list handed to the agent", MoverRun(u"Q:\\", mover::MoverExit::kHandedToAgent)},
  };
  for (std::uint16_t number : {101, 102}) {
    cases.push_back({"check script " + std::to_string(number), CheckScript(number)});
  }
  for (bool perUser : {false, true}) {
    for (std::uint16_t number : {101, 102}) {
      for (bool registerFlag : {true, false}) {
        cases.push_back({std::string(registerFlag ? "apply" : "remove") + " script " + std::to_string(number) +
                             (perUser ? ", per user" : ", machine-wide"),
                         Script(number, registerFlag, perUser)});
      }
    }
  }
  return cases;
}

TEST(OutOfMemorySweep, EveryAllocationOfEveryEntryOperationMayFail) {
  for (const SweepCase& c : Cases()) {
    std::size_t failAt = 1;
    for (;; ++failAt) {
      const std::int64_t live = oom::LiveBlocks();
      const bool completed = c.attempt(failAt);
      EXPECT_EQ(oom::LiveBlocks(), live) << c.name << ": a leak when allocation " << failAt << " fails";
      if (completed || ::testing::Test::HasFatalFailure()) break;
    }
    std::printf("  %-45s %6zu allocation points\n", c.name.c_str(), failAt - 1);
  }
}

}  // namespace
}  // namespace torvo
