// The one-pass capture against the platform's own reading of the same drop-file blocks, and the
// media that are not a memory block.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/win32_drop_files.h"
#include "shellmenu/selection.h"
#include "tests/fakes/drop_block.h"
#include "tests/wine/support/drop_list_probe.h"
#include "tests/wine/support/memory_data_object.h"

namespace torvo {
namespace {

using ::testing::ElementsAre;

// Item lengths around the 259/260 boundary of a path buffer; every fifth item repeats the one before.
// Each is a full path ("D:\" and a name), as the shell gives them.
constexpr std::size_t kLengths[] = {4, 5, 40, 258, 259, 260, 261, 300};

template <class Text>
std::vector<Text> GeneratedItems(std::size_t count, typename Text::value_type first) {
  std::vector<Text> items;
  for (std::size_t i = 0; i < count; ++i) {
    if (i % 5 == 4) {
      items.push_back(items.back());
      continue;
    }
    Text item(kLengths[i % std::size(kLengths)], first);
    for (std::size_t k = 0; k < item.size(); k += 7) item[k] = static_cast<typename Text::value_type>(first + k % 20);
    item[0] = 'D';
    item[1] = ':';
    item[2] = '\\';
    items.push_back(item);
  }
  return items;
}

class DropListUnderWine : public ::testing::TestWithParam<std::size_t> {};

TEST_P(DropListUnderWine, UnicodeListsAreReadAsThePlatformReadsThem) {
  // CJK, Latin and ASCII units alike.
  for (char16_t first : {u'a', u'\u00C0', u'\u6587'}) {
    const auto block = fakes::WideDropBlock(GeneratedItems<std::u16string>(GetParam(), first));
    EXPECT_EQ(wine::CapturedByTheHandler(block), wine::DeliveredByThePlatform(block));
  }
}

TEST_P(DropListUnderWine, AsciiListsInTheAnsiCodePageAreReadAsThePlatformReadsThem) {
  const auto block = fakes::AnsiDropBlock(GeneratedItems<std::string>(GetParam(), 'a'));
  EXPECT_EQ(wine::CapturedByTheHandler(block), wine::DeliveredByThePlatform(block));
}

INSTANTIATE_TEST_SUITE_P(Counts, DropListUnderWine, ::testing::Values(1, 3, 1000));

TEST(DropListMedia, OnlyAMemoryBlockIsReadAndEveryMediumIsReleased) {
  const auto block = fakes::WideDropBlock({u"D:\\a.txt"});
  for (DWORD tymed : {TYMED_HGLOBAL, TYMED_ISTREAM, TYMED_FILE}) {
    wine::MemoryDataObject object(block, tymed);
    HandlerState state;
    state.m_selection = {u"D:\\earlier"};
    HResult result;
    {
      win32::Win32DropFiles drop(&object);
      result = CaptureSelection(&drop, state);
    }
    EXPECT_EQ(result, tymed == TYMED_HGLOBAL ? kOk : kInvalidArg) << "medium " << tymed;
    EXPECT_THAT(state.m_selection, ElementsAre(tymed == TYMED_HGLOBAL ? u"D:\\a.txt" : u"D:\\earlier"));
    EXPECT_EQ(object.getDataCalls, 1);
    EXPECT_EQ(object.HeldByMedia(), 0) << "medium " << tymed << " was not released";
  }
}

}  // namespace
}  // namespace torvo
