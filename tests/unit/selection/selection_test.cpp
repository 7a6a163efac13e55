#include "shellmenu/selection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_drop_files.h"

namespace torvo {
namespace {

using fakes::FakeDropFiles;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

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
  EXPECT_EQ(drop.unlocks, 1);
  EXPECT_EQ(drop.releases, 1);
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

struct RefusalCase {
  const char* name;
  HResult getData;
  bool lock;
  bool empty;
  int releases;
  int unlocks;
};

class SelectionRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SelectionRefusal, KeepsTheEarlierListAndReleasesWhatItTook) {
  const RefusalCase& c = GetParam();
  HandlerState state = StateHolding({u"D:\\kept1", u"D:\\kept2"});
  FakeDropFiles drop(c.empty ? std::vector<std::u16string>{} : std::vector<std::u16string>{u"E:\\x"});
  drop.getDataResult = c.getData;
  drop.lockSucceeds = c.lock;
  EXPECT_EQ(CaptureSelection(&drop, state), kInvalidArg);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\kept1", u"D:\\kept2"));
  EXPECT_EQ(LastItem(state), u"D:\\kept2");
  EXPECT_EQ(drop.releases, c.releases);
  EXPECT_EQ(drop.unlocks, c.unlocks);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionRefusal,
    ::testing::Values(RefusalCase{"NoDropList", kFail, true, false, 0, 0},
                      RefusalCase{"BlockCannotBeLocked", kOk, false, false, 1, 0},
                      RefusalCase{"ListNamesNoItem", kOk, true, true, 1, 1}),
    fakes::CaseName());

TEST(Selection, NullDataObjectIsRefusedWithoutChangingTheState) {
  HandlerState state = StateHolding({u"D:\\kept"});
  EXPECT_EQ(CaptureSelection(nullptr, state), kInvalidArg);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\kept"));
}

TEST(Selection, UndeliveredLastItemLeavesTheOthersAndAnEmptyLastPath) {
  FakeDropFiles drop({u"D:\\a", u"D:\\b", u"D:\\c"});
  drop.undelivered = {2};
  HandlerState state;
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(u"D:\\a", u"D:\\b"));
  EXPECT_TRUE(LastItemBufferIsAllZero(state));
}

TEST(Selection, NoDeliverableItemGivesAnEmptyListAndStillSucceeds) {
  FakeDropFiles drop({u"D:\\a", u"D:\\b"});
  drop.undelivered = {0, 1};
  HandlerState state = StateHolding({u"D:\\old"});
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, IsEmpty());
  EXPECT_TRUE(LastItemBufferIsAllZero(state));
}

TEST(Selection, PathThatDoesNotFitIsLeftOutRatherThanCut) {
  const std::u16string fits = u"D:\\" + std::u16string(256, u'f');      // 259 units
  const std::u16string tooLong = u"D:\\" + std::u16string(257, u'g');   // 260 units
  FakeDropFiles drop({fits, tooLong});
  HandlerState state;
  EXPECT_EQ(CaptureSelection(&drop, state), kOk);
  EXPECT_THAT(state.m_selection, ElementsAre(fits));
  EXPECT_TRUE(LastItemBufferIsAllZero(state));
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
