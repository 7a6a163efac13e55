#include "shellmenu/selection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/fakes/drop_block.h"
#include "tests/fakes/fake_drop_files.h"

namespace torvo {
namespace {

using fakes::FakeDropFiles;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

using Bytes = std::vector<std::uint8_t>;

std::u16string LastItem(const HandlerState& state) { return state.lastItemPath; }

bool LastItemBufferIsAllZero(const HandlerState& state) {
  for (char16_t unit : state.lastItemPath) {
    if (unit != 0) return false;
  }
  return true;
}

HandlerState StateHolding(std::vector<std::u16string> items) {
  HandlerState state;
  FakeDropFiles earlier(std::move(items));
  EXPECT_EQ(CaptureSelection(&earlier, state), kOk);
  return state;
}

TEST(Selection, ThreeItemsKeepTheShellsOrderAndTheLastOneIsRemembered) {
  FakeDropFiles drop({u"D:\\a", u"D:\\b", u"D:\\c"});
  HandlerState state;
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\a", u"D:\\b", u"D:\\c"));
  EXPECT_EQ(LastItem(state), u"D:\\c");
}

TEST(Selection, DuplicatesStayAndNothingIsNormalised) {
  FakeDropFiles drop({u"D:\\Data\\x ", u"D:\\Data\\x ", u"d:\\data\\X"});
  HandlerState state;
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\Data\\x ", u"D:\\Data\\x ", u"d:\\data\\X"));
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
        BlockCase{"NoFinalEmptyItem", Cut(fakes::WideDropBlock({u"a", u"b"}), 2), kOk, {u"a", u"b"}, u"b"},
        BlockCase{"LastItemNotEndedIsLeftOut", Cut(fakes::WideDropBlock({u"a", u"bc"}), 4), kOk, {u"a"}, u""},
        BlockCase{"TrailingOddByteIgnored", Cut(fakes::WideDropBlock({u"a", u"b"}), 5), kOk, {u"a"}, u"a"},
        BlockCase{"UnalignedList", Unaligned({u"D:\\x", u"D:\\y"}), kOk, {u"D:\\x", u"D:\\y"}, u"D:\\y"}),
    fakes::CaseName());

TEST(Selection, NoItemThatFitsGivesAnEmptyListAndStillSucceeds) {
  const std::u16string tooLong = u"D:\\" + std::u16string(300, u'g');
  FakeDropFiles drop({tooLong, tooLong});
  HandlerState state = StateHolding({u"D:\\old"});
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, IsEmpty());
  EXPECT_TRUE(LastItemBufferIsAllZero(state));
}

// 259 units fit a path buffer with its terminator; 260 would arrive cut and might name another item.
TEST(Selection, PathThatDoesNotFitIsLeftOutRatherThanCutInBothEncodings) {
  const std::u16string fits = u"D:\\" + std::u16string(256, u'f');
  const std::u16string tooLong = u"D:\\" + std::u16string(257, u'g');
  const std::string ansiFits = "D:\\" + std::string(256, 'f');
  const std::string ansiTooLong = "D:\\" + std::string(257, 'g');
  FakeDropFiles wide({fits, tooLong});
  FakeDropFiles ansi(fakes::AnsiDropBlock({ansiFits, ansiTooLong}));
  for (FakeDropFiles* drop : {&wide, &ansi}) {
    HandlerState state;
    EXPECT_EQ(CaptureSelection(drop, state), kOk);
    EXPECT_THAT(state.m_selection, ElementsAre(fits));
    EXPECT_TRUE(LastItemBufferIsAllZero(state));
  }
}

TEST(Selection, LongestPathThatFitsIsTheLastItem) {
  const std::u16string fits = u"D:\\" + std::u16string(256, u'f');
  FakeDropFiles drop({u"D:\\a", fits});
  HandlerState state;
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_EQ(LastItem(state), fits);
  EXPECT_EQ(state.m_selection.back().size(), 259u);
}

}  // namespace
}  // namespace torvo
