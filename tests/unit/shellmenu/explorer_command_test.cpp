#include "shellmenu/explorer_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_handler_platform.h"
#include "tests/fakes/fake_item_array.h"

namespace torvo {
namespace {

using fakes::FakeHandlerPlatform;
using fakes::FakeItemArray;
using ::testing::AnyOf;
using ::testing::Each;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using Items = std::vector<std::optional<std::u16string>>;

constexpr WindowHandle kAgentWindow = 0x5150;
const std::u16string kTooLong = u"D:\\Windows\\" + std::u16string(300, u'x');

struct StateCase {
  const char* name;
  std::optional<std::uint64_t> letter;  // none: no agent runs
  Items items;
  std::uint32_t state;
  std::size_t lookups;
};

class ExplorerCommandState : public ::testing::TestWithParam<StateCase> {};

TEST_P(ExplorerCommandState, IsTheClassicDecisionOnTheDeliveredItemsWithOneLookup) {
  const StateCase& c = GetParam();
  FakeHandlerPlatform fake;
  if (c.letter) fake.agent.RunAgent(kAgentWindow, 1, *c.letter);
  FakeItemArray items(c.items);
  std::uint32_t state = 0xFF;
  EXPECT_EQ(GetExplorerCommandState(&items, fake.platform, &state), kOk);
  EXPECT_EQ(state, c.state);
  EXPECT_EQ(fake.agent.lookups.size(), c.lookups);
  EXPECT_LE(fake.environment.expansions, 45);
  // The lookup and the drive letter's question only: nothing else is asked and nothing handed over.
  EXPECT_THAT(fake.journal, Each(AnyOf(std::string("find"), std::string("send 1005"))));
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ExplorerCommandState,
    ::testing::Values(
        StateCase{"FileOffTheVaultDrive", u'X', {u"D:\\data\\a.txt"}, kEcsEnabled, 1},
        StateCase{"AnyItemOnTheVaultDrive", u'X', {u"D:\\a.txt", u"X:\\b.txt", u"E:\\c.txt"}, kEcsHidden, 1},
        StateCase{"AnyProtectedItem", u'X', {u"D:\\Windows", u"E:\\a.txt"}, kEcsHidden, 1},
        StateCase{"NoAgentRunning", std::nullopt, {u"X:\\a.txt", u"E:\\b.txt"}, kEcsEnabled, 1},
        StateCase{"ItemsWithoutPathDoNotDecide", u'X', {std::nullopt, u"E:\\a.txt"}, kEcsEnabled, 1},
        StateCase{"LeftOutPathDoesNotDecide", u'X', {u"E:\\a.txt", kTooLong}, kEcsEnabled, 1},
        StateCase{"NoItemCanBeDeliveredAndTheAgentIsNotAsked", u'X', {std::nullopt, kTooLong}, kEcsHidden, 0},
        StateCase{"EmptyArray", u'X', {}, kEcsHidden, 0}),
    fakes::CaseName());

TEST(ExplorerCommandState, NullArrayIsHiddenAndNullStateRefused) {
  FakeHandlerPlatform fake;
  std::uint32_t state = kEcsEnabled;
  EXPECT_EQ(GetExplorerCommandState(nullptr, fake.platform, &state), kOk);
  EXPECT_EQ(state, kEcsHidden);
  FakeItemArray items({u"D:\\a.txt"});
  EXPECT_EQ(GetExplorerCommandState(&items, fake.platform, nullptr), kPointer);
  EXPECT_THAT(fake.agent.lookups, IsEmpty());
}

// The move list file's text: UTF-16LE records, each ended by a line feed.
std::u16string ListText(const std::vector<unsigned char>& bytes) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
  return text;
}

enum class Way { kNothing, kDirectMove, kLaunch };

struct InvokeCase {
  const char* name;
  std::optional<std::uint64_t> ready;  // none: no agent runs
  Items items;
  HResult result;
  Way way;
};

class ExplorerCommandInvoke : public ::testing::TestWithParam<InvokeCase> {};

TEST_P(ExplorerCommandInvoke, HandsTheDeliveredItemsOverAsTheClassicCommandDoes) {
  const InvokeCase& c = GetParam();
  FakeHandlerPlatform fake;
  if (c.ready) fake.agent.RunAgent(kAgentWindow, *c.ready, u'X');
  FakeItemArray items(c.items);
  EXPECT_EQ(InvokeExplorerCommand(&items, fake.platform), c.result);
  const std::vector<std::u16string> delivered = {u"D:\\a.txt", u"E:\\b"};
  ASSERT_EQ(fake.mover.operations.size(), c.way == Way::kDirectMove ? 1u : 0u);
  ASSERT_EQ(fake.starter.starts.size(), c.way == Way::kLaunch ? 1u : 0u);
  if (c.way == Way::kDirectMove) {
    EXPECT_THAT(fake.mover.operations[0].from, ElementsAreArray(delivered));
    EXPECT_TRUE(fake.mover.operations[0].onOwnThread);
  }
  if (c.way == Way::kLaunch) {
    ASSERT_EQ(fake.tempFiles.files.size(), 1u);
    EXPECT_EQ(ListText(fake.tempFiles.files.begin()->second.bytes), u"D:\\a.txt\nE:\\b\n");
  }
  if (c.way == Way::kNothing) {
    EXPECT_THAT(fake.journal, IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Agents, ExplorerCommandInvoke,
    ::testing::Values(
        InvokeCase{"ReadyAgentGetsTheDirectMove", 1, {u"D:\\a.txt", std::nullopt, u"E:\\b"}, kOk, Way::kDirectMove},
        InvokeCase{"AgentNotReadyIsStartedWithTheList", 0, {u"D:\\a.txt", kTooLong, u"E:\\b"}, kOk, Way::kLaunch},
        InvokeCase{"NoAgentIsStartedWithTheList", std::nullopt, {u"D:\\a.txt", u"E:\\b"}, kOk, Way::kLaunch},
        InvokeCase{"NothingDeliverableIsRefused", 1, {std::nullopt, kTooLong}, kInvalidArg, Way::kNothing},
        InvokeCase{"EmptyArrayIsRefused", 1, {}, kInvalidArg, Way::kNothing}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo
