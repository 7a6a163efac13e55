#include "shellmenu/dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_handler_platform.h"

namespace torvo {
namespace {

using fakes::FakeHandlerPlatform;

constexpr WindowHandle kAgentWindow = 0x5150;

enum class Way { kDirectMove, kLaunch };

struct DispatchCase {
  const char* name;
  bool agentRunning;
  bool lookupTimesOut;
  std::uint64_t readyAnswer;
  Way way;
  std::vector<std::uintptr_t> questions;
  int lookups;
};

class Dispatch : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(Dispatch, ChoosesByTheAgentsReadiness) {
  const DispatchCase& c = GetParam();
  FakeHandlerPlatform fake;
  if (c.agentRunning) fake.agent.RunAgent(kAgentWindow, c.readyAnswer, u'X');
  fake.agent.lookupTimesOut = c.lookupTimesOut;
  EXPECT_EQ(SendSelectionToVault(HandlerState{{u"D:\\a.txt"}}, fake.platform), kOk);
  EXPECT_EQ(fake.agent.QueryIds(), c.questions);
  EXPECT_EQ(static_cast<int>(fake.agent.lookups.size()), c.lookups);
  EXPECT_EQ(fake.mover.operations.size(), c.way == Way::kDirectMove ? 1u : 0u);
  EXPECT_EQ(fake.starter.starts.size(), c.way == Way::kLaunch ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Agents, Dispatch,
    ::testing::Values(
        DispatchCase{"AgentNotRunningIsStarted", false, false, 0, Way::kLaunch, {}, 1},
        DispatchCase{"LookupTimingOutIsLikeNoAgent", true, true, 1, Way::kLaunch, {}, 1},
        DispatchCase{"AgentNotReadyIsStartedAllTheSame", true, false, 0, Way::kLaunch, {1004}, 1},
        DispatchCase{"ReadyAgentGetsTheDirectMove", true, false, 1, Way::kDirectMove, {1004, 1005}, 2},
        DispatchCase{"OnlyTheLow32BitsOfReadinessCount", true, false, 0x100000000u, Way::kLaunch, {1004}, 1},
        DispatchCase{"AnyNonzeroLowHalfIsReady", true, false, 0xFFFFFFFF80000000u, Way::kDirectMove, {1004, 1005}, 2}),
    fakes::CaseName());

TEST(Dispatch, WindowGoneBeforeTheQuestionStartsTheAgent) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  fake.agent.vanishesAfterLookup = true;
  EXPECT_EQ(SendSelectionToVault(HandlerState{{u"D:\\a.txt"}}, fake.platform), kOk);
  EXPECT_EQ(fake.starter.starts.size(), 1u);
  EXPECT_TRUE(fake.mover.operations.empty());
}

// Windows keeps the shell from an agent started elevated: no second agent, nothing handed over.
TEST(Dispatch, AnAgentOutOfReachGetsNothing) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  fake.agent.reachable = false;
  EXPECT_EQ(SendSelectionToVault(HandlerState{{u"D:\\a.txt"}}, fake.platform), kOk);
  EXPECT_THAT(fake.agent.queries, ::testing::IsEmpty());
  EXPECT_THAT(fake.starter.starts, ::testing::IsEmpty());
  EXPECT_THAT(fake.tempFiles.files, ::testing::IsEmpty());
}

TEST(Dispatch, ReadyAgentWithoutAVaultRootGetsTheListInstead) {
  for (std::uint64_t letter : {std::uint64_t{u'Q'}, std::uint64_t{0}}) {  // Q: does not exist; no letter
    FakeHandlerPlatform fake;
    fake.agent.RunAgent(kAgentWindow, 1, letter);
    EXPECT_EQ(SendSelectionToVault(HandlerState{{u"D:\\a.txt"}}, fake.platform), kOk);
    EXPECT_TRUE(fake.mover.operations.empty());
    ASSERT_EQ(fake.starter.starts.size(), 1u);
    ASSERT_EQ(fake.tempFiles.files.size(), 1u);
    EXPECT_EQ(fake.tempFiles.files.begin()->second.bytes.size(), 18u);  // "D:\a.txt" and a line feed
  }
}

// Whatever keeps the Explorer command's direct move from torvo-move.exe hands the list to the agent
// instead (the mover's start itself is in the Explorer command's table).
constexpr char16_t kMover[] = u"D:\\Apps\\Vault\\torvo-move.exe";
constexpr char16_t kAgent[] = u"D:\\Apps\\Vault\\zebtorvofloat.exe";

struct MoverCase {
  const char* name;
  std::uint64_t letter;
  void (*inject)(FakeHandlerPlatform&);
  const char16_t* started;    // null: nothing starts
  std::u16string parameters;  // %LIST% stands for the first list file written
  std::size_t listFiles;
  // The classic handler's move goes to the mover when its host offers no hold on its process.
  DirectMove directMove = DirectMove::kMoverProcess;
  bool noUi = false;
  std::size_t cannotFindMessages = 0;
};

class MoverDispatch : public ::testing::TestWithParam<MoverCase> {};

TEST_P(MoverDispatch, StartsTheMoverOrHandsTheListToTheAgent) {
  const MoverCase& c = GetParam();
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, c.letter);
  c.inject(fake);
  InvokeOptions options;
  options.noUi = c.noUi;
  EXPECT_EQ(SendSelectionToVault(HandlerState{{u"D:\\a.txt"}}, fake.platform, c.directMove, options), kOk);
  EXPECT_TRUE(fake.mover.operations.empty());
  ASSERT_EQ(fake.tempFiles.files.size(), c.listFiles);
  EXPECT_EQ(fake.starter.cannotFindMessages.size(), c.cannotFindMessages);
  ASSERT_EQ(fake.starter.starts.size(), c.started == nullptr ? 0u : 1u);
  if (c.started == nullptr) return;
  std::u16string parameters = c.parameters;
  const std::size_t at = parameters.find(u"%LIST%");
  if (at != std::u16string::npos) parameters.replace(at, 6, fake.tempFiles.files.begin()->first);
  EXPECT_EQ(fake.starter.starts[0].file, c.started);
  EXPECT_EQ(fake.starter.starts[0].parameters, parameters);
}

void NoHoldNorPrograms(FakeHandlerPlatform& fake) {
  fake.mover.noHostHold = true;
  fake.starter.missingFiles = {kMover, kAgent};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MoverDispatch,
    ::testing::Values(MoverCase{"NoRootGivesTheAgentTheList", u'Q', [](FakeHandlerPlatform&) {}, kAgent,
                                u"/_loginmove \"%LIST%\"", 1},
                      MoverCase{"NoMoverGivesTheAgentTheSameList", u'X',
                                [](FakeHandlerPlatform& f) { f.starter.missingFiles = {kMover}; }, kAgent,
                                u"/_loginmove \"%LIST%\"", 1},
                      MoverCase{"ListNotWrittenStartsTheAgentAsBefore", u'X',
                                [](FakeHandlerPlatform& f) { f.tempFiles.createFails = true; }, kAgent,
                                u"/_loginmove \"\"", 0},
                      MoverCase{"NoHoldTakesTheCallersNoUiToTheMover", u'X',
                                [](FakeHandlerPlatform& f) { f.mover.noHostHold = true; }, kMover,
                                u"/noui X:\\ \"%LIST%\"", 1, DirectMove::kOwnThread, true},
                      MoverCase{"NeitherProgramThereSaysSoOnceAndKeepsNoList", u'X', NoHoldNorPrograms, nullptr, u"", 0,
                                DirectMove::kOwnThread, false, 1},
                      MoverCase{"NoUiAndNeitherProgramThereShowsNothingAndKeepsNoList", u'X', NoHoldNorPrograms,
                                nullptr, u"", 0, DirectMove::kOwnThread, true, 0}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo
