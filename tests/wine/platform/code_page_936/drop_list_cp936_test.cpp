// ANSI drop-file lists with Chinese text, read by a process whose ANSI code page is 936 (ctest
// starts this program with LC_ALL=zh_CN.UTF-8): double-byte characters make the UTF-16 form of an
// item shorter than its bytes, so the 260-unit limit must be applied after the conversion.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/drop_block.h"
#include "tests/wine/support/drop_list_probe.h"

namespace torvo {
namespace {

// "D:\" and then `characters` double-byte characters (文, 0xCE 0xC4 in code page 936), every third
// one an ASCII letter instead: items from a few bytes to far past 260 units.
std::string ChineseItem(std::size_t characters) {
  std::string item = "D:\\";
  for (std::size_t i = 0; i < characters; ++i) item += i % 3 == 2 ? std::string("x") : std::string("\xCE\xC4");
  return item;
}

TEST(DropListUnderCodePage936, ChineseAnsiListsAreReadAsThePlatformReadsThem) {
  ASSERT_EQ(::GetACP(), 936u) << "this program must run with LC_ALL=zh_CN.UTF-8";
  for (std::size_t count : {1u, 3u, 1000u}) {
    std::vector<std::string> items;
    for (std::size_t i = 0; i < count; ++i) items.push_back(ChineseItem(1 + (i * 37) % 300));
    if (count > 1) items.push_back(items.front());  // a duplicate
    const auto block = fakes::AnsiDropBlock(items);
    EXPECT_EQ(wine::CapturedByTheHandler(block), wine::DeliveredByThePlatform(block)) << count << " items";
  }
}

}  // namespace
}  // namespace torvo
