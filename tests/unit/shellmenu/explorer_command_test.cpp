#include "shellmenu/explorer_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/fakes/fake_handler_platform.h"
#include "tests/fakes/fake_item_array.h"

namespace torvo {
namespace {

using fakes::DataObjectOffer;
using fakes::FakeHandlerPlatform;
using fakes::FakeItemArray;
using ::testing::AnyOf;
using ::testing::Each;
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

// Every row holds for each way the array may hand its items over: as one data object with a
// drop-file list (read in one pass, no item asked on its own), and item by item when it offers no
// data object or one without that list.
constexpr DataObjectOffer kOffers[] = {DataObjectOffer::kDropList, DataObjectOffer::kNone,
                                       DataObjectOffer::kNoDropList};
constexpr const char* kOfferNames[] = {"DataObject", "ItemByItem", "DataObjectWithoutDropList"};

// "<row>_<way>" for a row of the table combined with an offer.
struct RowAndOfferName {
  template <class Row>
  std::string operator()(const ::testing::TestParamInfo<std::tuple<Row, DataObjectOffer>>& info) const {
    const auto way = std::find(std::begin(kOffers), std::end(kOffers), std::get<1>(info.param)) - std::begin(kOffers);
    return std::string(std::get<0>(info.param).name) + "_" + kOfferNames[way];
  }
};

void ExpectReadAsOffered(const FakeItemArray& items, DataObjectOffer offer) {
  if (offer == DataObjectOffer::kDropList) {
    EXPECT_EQ(items.pathReads, 0) << "an item was asked on its own";
  }
}

class ExplorerCommandState : public ::testing::TestWithParam<std::tuple<StateCase, DataObjectOffer>> {};

TEST_P(ExplorerCommandState, IsTheClassicDecisionOnTheDeliveredItemsWithOneLookup) {
  const auto& [c, offer] = GetParam();
  FakeHandlerPlatform fake;
  if (c.letter) fake.agent.RunAgent(kAgentWindow, 1, *c.letter);
  FakeItemArray items(c.items, offer);
  std::uint32_t state = 0xFF;
  EXPECT_EQ(GetExplorerCommandState(&items, fake.platform, &state), kOk);
  EXPECT_EQ(state, c.state);
  EXPECT_EQ(fake.agent.lookups.size(), c.lookups);
  EXPECT_LE(fake.environment.expansions, 49);
  // The agent's program, its lookup and the drive letter's question only: nothing else is asked and
  // nothing handed over.
  EXPECT_THAT(fake.journal, Each(AnyOf(std::string("module path"), std::string("find"), std::string("send 1005"))));
  ExpectReadAsOffered(items, offer);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ExplorerCommandState,
    ::testing::Combine(
        ::testing::Values(
            StateCase{"FileOffTheVaultDrive", u'X', {u"D:\\data\\a.txt"}, kEcsEnabled, 1},
            StateCase{"AnyItemOnTheVaultDrive", u'X', {u"D:\\a.txt", u"X:\\b.txt", u"E:\\c.txt"}, kEcsHidden, 1},
            StateCase{"AnyProtectedItemWithoutAskingTheAgent", u'X', {u"D:\\Windows", u"E:\\a.txt"}, kEcsHidden, 0},
            StateCase{"NoAgentRunning", std::nullopt, {u"X:\\a.txt", u"E:\\b.txt"}, kEcsEnabled, 1},
            StateCase{"AnItemWithoutPathHidesItAndAsksNoAgent", u'X', {std::nullopt, u"E:\\a.txt"}, kEcsHidden, 0},
            StateCase{"APathTooLongToMoveHidesIt", u'X', {u"E:\\a.txt", kTooLong}, kEcsHidden, 0},
            StateCase{"AWildcardHidesIt", u'X', {u"E:\\a.txt", u"E:\\data\\?.doc"}, kEcsHidden, 0},
            StateCase{"NoItemCanBeDeliveredAndTheAgentIsNotAsked", u'X', {std::nullopt, kTooLong}, kEcsHidden, 0},
            StateCase{"EmptyArray", u'X', {}, kEcsHidden, 0}),
        ::testing::ValuesIn(kOffers)),
    RowAndOfferName());

// On the shell's UI thread a slow answer is not allowed: what only the agent can decide is pending.
TEST(ExplorerCommandState, WithoutTimeForTheAgentItsAnswerIsPending) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  for (const auto& [path, result] : {std::pair{u"E:\\a.txt", kPending}, std::pair{u"D:\\Windows", kOk}}) {
    FakeItemArray items({path});
    std::uint32_t state = 0xFF;
    EXPECT_EQ(GetExplorerCommandState(&items, fake.platform, &state, false), result);
    EXPECT_EQ(state, kEcsHidden);
  }
  EXPECT_THAT(fake.agent.lookups, IsEmpty());
}

// The known folders are folders: off the UI thread they are read unless every item of a few names a
// file, and on it never; where they can decide, the protection they give holds.
TEST(ExplorerCommandState, ReadsTheKnownFoldersOnlyWhereTheyCanDecide) {
  const std::u16string documents = u"D:\\Users\\ann\\OneDrive\\Documents", file = u"D:\\data\\a.txt";
  const Items sixteenFiles(16, file), seventeenFiles(17, file);
  struct Row {
    const char* name;
    Items items;
    bool okToBeSlow;
    HResult result;
    std::uint32_t state;
    bool foldersRead;
  };
  for (const Row& row : {
           Row{"the Documents folder", {documents}, true, kOk, kEcsHidden, true},
           Row{"the Documents folder on the UI thread", {documents}, false, kPending, kEcsHidden, false},
           Row{"a file and a folder", {file, u"D:\\data"}, true, kOk, kEcsEnabled, true},
           Row{"sixteen files", sixteenFiles, true, kOk, kEcsEnabled, false},
           Row{"seventeen files", seventeenFiles, true, kOk, kEcsEnabled, true},
       }) {
    SCOPED_TRACE(row.name);
    FakeHandlerPlatform fake;
    fake.environment.files = {file};
    fake.agent.RunAgent(kAgentWindow, 1, u'X');
    FakeItemArray items(row.items);
    std::uint32_t state = 0xFF;
    EXPECT_EQ(GetExplorerCommandState(&items, fake.platform, &state, row.okToBeSlow), row.result);
    EXPECT_EQ(state, row.state);
    EXPECT_EQ(fake.environment.knownFolderReads > 0, row.foldersRead);
  }
}

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

enum class Way { kNothing, kMover, kLaunch };

struct InvokeCase {
  const char* name;
  std::optional<std::uint64_t> ready;  // none: no agent runs
  Items items;
  HResult result;
  Way way;
};

class ExplorerCommandInvoke : public ::testing::TestWithParam<std::tuple<InvokeCase, DataObjectOffer>> {};

TEST_P(ExplorerCommandInvoke, HandsTheDeliveredItemsOverAsTheClassicCommandDoes) {
  const auto& [c, offer] = GetParam();
  FakeHandlerPlatform fake;
  if (c.ready) fake.agent.RunAgent(kAgentWindow, *c.ready, u'X');
  FakeItemArray items(c.items, offer);
  EXPECT_EQ(InvokeExplorerCommand(&items, fake.platform), c.result);
  ExpectReadAsOffered(items, offer);
  // Nothing moves in the command's own process: a direct move is the mover's.
  EXPECT_THAT(fake.mover.operations, IsEmpty());
  if (c.way == Way::kNothing) {
    EXPECT_THAT(fake.starter.starts, IsEmpty());
    EXPECT_THAT(fake.tempFiles.files, IsEmpty());
    return;
  }
  ASSERT_EQ(fake.tempFiles.files.size(), 1u);
  const auto& [listPath, list] = *fake.tempFiles.files.begin();
  EXPECT_EQ(ListText(list.bytes), u"D:\\a.txt\nE:\\b\n");
  ASSERT_EQ(fake.starter.starts.size(), 1u);
  const bool mover = c.way == Way::kMover;
  EXPECT_EQ(fake.starter.starts[0].file,
            mover ? u"D:\\Apps\\Vault\\torvo-move.exe" : u"D:\\Apps\\Vault\\zebtorvofloat.exe");
  EXPECT_EQ(fake.starter.starts[0].parameters, (mover ? u"X:\\ \"" : u"/_loginmove \"") + listPath + u"\"");
}

INSTANTIATE_TEST_SUITE_P(
    Agents, ExplorerCommandInvoke,
    ::testing::Combine(
        ::testing::Values(
            InvokeCase{"ReadyAgentGetsTheMover", 1, {u"D:\\a.txt", u"E:\\b"}, kOk, Way::kMover},
            InvokeCase{"AgentNotReadyIsStartedWithTheList", 0, {u"D:\\a.txt", u"E:\\b"}, kOk, Way::kLaunch},
            InvokeCase{"WhatTheMenuHidesIsRefused", 1, {u"D:\\a.txt", u"X:\\b"}, kInvalidArg, Way::kNothing},
            InvokeCase{"NoAgentIsStartedWithTheList", std::nullopt, {u"D:\\a.txt", u"E:\\b"}, kOk, Way::kLaunch},
            InvokeCase{"NothingDeliverableIsRefused", 1, {std::nullopt, kTooLong}, kInvalidArg, Way::kNothing},
            InvokeCase{"EmptyArrayIsRefused", 1, {}, kInvalidArg, Way::kNothing}),
        ::testing::ValuesIn(kOffers)),
    RowAndOfferName());

}  // namespace
}  // namespace torvo
