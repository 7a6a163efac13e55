#include "shellmenu/selection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/fakes/drop_block.h"
#include "tests/fakes/fake_drop_files.h"
#include "tests/fakes/fake_item_array.h"

namespace torvo {
namespace {

using fakes::FakeDropFiles;
using fakes::FakeItemArray;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using Bytes = std::vector<std::uint8_t>;

std::u16string LastItem(const HandlerState& state) { return state.lastItemPath; }

// The last item buffer: the path, then zeros to its end.
bool LastItemBufferHolds(const HandlerState& state, const std::u16string& path) {
  for (std::size_t i = 0; i < kMaxPath; ++i) {
    if (state.lastItemPath[i] != (i < path.size() ? path[i] : u'\0')) return false;
  }
  return true;
}

HandlerState StateHolding(std::vector<std::u16string> items) {
  HandlerState state;
  FakeDropFiles earlier(std::move(items));
  EXPECT_EQ(CaptureSelection(&earlier, state), kOk);
  return state;
}

TEST(Selection, ANewCaptureReplacesTheEarlierList) {
  HandlerState state = StateHolding({u"D:\\old1", u"D:\\old2"});
  FakeDropFiles drop({u"E:\\new"});
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(u"E:\\new"));
  EXPECT_EQ(LastItem(state), u"E:\\new");
}

TEST(Selection, AnsiItemsConvertThroughThePlatform) {
  FakeDropFiles drop(fakes::AnsiDropBlock({"D:\\caf\xE9", "D:\\b"}));
  HandlerState state;
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\caf\u00E9", u"D:\\b"));
  EXPECT_EQ(LastItem(state), u"D:\\b");
}

TEST(Selection, NullSourceOrNoDropListIsRefusedWithoutChangingTheState) {
  HandlerState state = StateHolding({u"D:\\kept"});
  FakeDropFiles noList({u"E:\\x"});
  noList.hasList = false;
  EXPECT_EQ(CaptureSelection(&noList, state), kInvalidArg);
  EXPECT_EQ(CaptureSelection(nullptr, state), kInvalidArg);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\kept"));
  EXPECT_EQ(LastItem(state), u"D:\\kept");
}

// Blocks as a careless or hostile data object may hand them over.
struct BlockCase {
  const char* name;
  Bytes block;
  HResult result;
  std::vector<std::u16string> selection;  // after the capture (the earlier list when refused)
  std::u16string lastItem;
};

Bytes WithFilesOffset(Bytes block, std::uint32_t offset) {
  fakes::PutHeaderField(block, 0, offset);
  return block;
}

Bytes Cut(Bytes block, std::size_t bytes) {
  block.resize(block.size() - bytes);
  return block;
}

Bytes Unaligned(const std::vector<std::u16string>& items) {
  Bytes block = fakes::WideDropBlock(items);
  block.insert(block.begin() + 20, 0x7F);  // one stray byte before the list
  return WithFilesOffset(block, 21);
}

const std::vector<std::u16string> kEarlier = {u"D:\\kept1", u"D:\\kept2"};

class SelectionBlock : public ::testing::TestWithParam<BlockCase> {};

TEST_P(SelectionBlock, GivesItsItemsOrIsRefusedWithTheStateUnchanged) {
  const BlockCase& c = GetParam();
  HandlerState state = StateHolding(kEarlier);
  FakeDropFiles drop(c.block);
  EXPECT_EQ(CaptureSelection(&drop, state), c.result);
  EXPECT_THAT(state.m_selection, ElementsAreArray(c.selection));
  EXPECT_EQ(LastItem(state), c.lastItem);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionBlock,
    ::testing::Values(
        BlockCase{"ListNamesNoItem", fakes::WideDropBlock({}), kInvalidArg, kEarlier, u"D:\\kept2"},
        BlockCase{"ShorterThanTheHeader", Bytes(19, 0), kInvalidArg, kEarlier, u"D:\\kept2"},
        BlockCase{"FilesOffsetPastTheEnd", WithFilesOffset(fakes::WideDropBlock({u"a"}), 26), kInvalidArg, kEarlier,
                  u"D:\\kept2"},
        BlockCase{"FilesOffsetInsideTheHeader", WithFilesOffset(fakes::WideDropBlock({u"a"}), 19), kInvalidArg,
                  kEarlier, u"D:\\kept2"},
        BlockCase{"OnlyItemNotEnded", Cut(fakes::WideDropBlock({u"ab"}), 4), kOk, {}, u""},
        BlockCase{"NoFinalEmptyItem",
                  Cut(fakes::WideDropBlock({u"D:\\a", u"D:\\b"}), 2),
                  kOk,
                  {u"D:\\a", u"D:\\b"},
                  u"D:\\b"},
        BlockCase{
            "LastItemNotEndedIsLeftOut", Cut(fakes::WideDropBlock({u"D:\\a", u"D:\\bc"}), 4), kOk, {u"D:\\a"}, u""},
        BlockCase{"TrailingOddByteIgnored", Cut(fakes::WideDropBlock({u"D:\\a", u"b"}), 5), kOk, {u"D:\\a"}, u"D:\\a"},
        BlockCase{"UnalignedList", Unaligned({u"D:\\x", u"D:\\y"}), kOk, {u"D:\\x", u"D:\\y"}, u"D:\\y"}),
    fakes::CaseName());

// An ANSI item converts into a path buffer; one whose UTF-16 form needs 260 units is left out too.
TEST(Selection, AnsiPathThatDoesNotFitIsLeftOutRatherThanCut) {
  FakeDropFiles ansi(fakes::AnsiDropBlock({"D:\\" + std::string(256, 'f'), "D:\\" + std::string(257, 'g')}));
  HandlerState state;
  EXPECT_EQ(CaptureSelection(&ansi, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\" + std::u16string(256, u'f')));
  EXPECT_TRUE(LastItemBufferHolds(state, u""));
}

// The rules both entry points share, each row taken once from a drop-file list and once from an
// item array of the same paths.
struct SharedRuleCase {
  const char* name;
  std::vector<std::u16string> items;
  std::vector<std::u16string> selection;
  std::u16string lastItem;
};

const std::u16string kFits = u"D:\\" + std::u16string(256, u'f');     // 259 units
const std::u16string kTooLong = u"D:\\" + std::u16string(257, u'g');  // 260 units

class SharedSelectionRules : public ::testing::TestWithParam<SharedRuleCase> {};

TEST_P(SharedSelectionRules, HoldForTheDropListAndTheItemArrayAlike) {
  const SharedRuleCase& c = GetParam();
  FakeDropFiles drop(c.items);
  FakeItemArray array(std::vector<std::optional<std::u16string>>(c.items.begin(), c.items.end()));
  for (const bool fromArray : {false, true}) {
    HandlerState state = StateHolding({u"D:\\earlier"});
    EXPECT_EQ(fromArray ? CaptureItemSelection(&array, state) : CaptureSelection(&drop, state), kOk);
    EXPECT_THAT(state.m_selection, ElementsAreArray(c.selection)) << (fromArray ? "item array" : "drop list");
    EXPECT_TRUE(LastItemBufferHolds(state, c.lastItem)) << (fromArray ? "item array" : "drop list");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SharedSelectionRules,
    ::testing::Values(
        SharedRuleCase{
            "ThreeItemsKeepTheShellsOrder", {u"D:\\a", u"D:\\b", u"D:\\c"}, {u"D:\\a", u"D:\\b", u"D:\\c"}, u"D:\\c"},
        SharedRuleCase{"DuplicatesStayAndNothingIsNormalised",
                       {u"D:\\Data\\x", u"D:\\Data\\x", u"d:\\data\\X"},
                       {u"D:\\Data\\x", u"D:\\Data\\x", u"d:\\data\\X"},
                       u"d:\\data\\X"},
        SharedRuleCase{
            "SpellingsWindowsWouldMoveAsAnotherItemAreLeftOut",
            {u"D:\\Data\\x ", u"D:\\Data\\x.", u"D:\\a\\..\\b", u"D:\\Data\\x:s", u"report.doc", u"D:\\Data\\y"},
            {u"D:\\Data\\y"},
            u"D:\\Data\\y"},
        SharedRuleCase{"LongestPathThatFitsIsTheLastItem", {u"D:\\a", kFits}, {u"D:\\a", kFits}, kFits},
        SharedRuleCase{
            "PathOf260UnitsIsLeftOutRatherThanCut", {kFits, kTooLong, u"D:\\b"}, {kFits, u"D:\\b"}, u"D:\\b"},
        SharedRuleCase{"LeftOutLastItemLeavesNoLastItem", {u"D:\\a", kTooLong}, {u"D:\\a"}, u""},
        SharedRuleCase{"NoItemThatFitsGivesAnEmptyListAndStillSucceeds", {kTooLong, kTooLong}, {}, u""}),
    fakes::CaseName());

TEST(ItemSelection, ItemsWithoutAFileSystemPathAreLeftOutAndEachPathIsAskedOnce) {
  FakeItemArray array({std::nullopt, u"D:\\a", std::nullopt, u"D:\\b", std::nullopt});
  HandlerState state;
  EXPECT_EQ(CaptureItemSelection(&array, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\a", u"D:\\b"));
  EXPECT_TRUE(LastItemBufferHolds(state, u""));
  EXPECT_EQ(array.pathReads, 5);
}

TEST(ItemSelection, NullOrEmptyArrayIsRefusedWithoutChangingTheState) {
  HandlerState state = StateHolding({u"D:\\kept"});
  FakeItemArray empty({});
  EXPECT_EQ(CaptureItemSelection(&empty, state), kInvalidArg);
  EXPECT_EQ(CaptureItemSelection(nullptr, state), kInvalidArg);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\kept"));
  EXPECT_EQ(LastItem(state), u"D:\\kept");
}

}  // namespace
}  // namespace torvo
