// Initialize's capture fed the data object that Wine's shell32 builds for real files, and the
// Explorer command's capture fed the item arrays that it builds.
#include <windows.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_drop_files.h"
#include "platform/win32/win32_item_array.h"
#include "shellmenu/selection.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::wstring> Captured(const HandlerState& state) {
  std::vector<std::wstring> paths;
  for (const auto& path : state.m_selection) paths.emplace_back(win32::AsWide(path.c_str()));
  return paths;
}

class SelectionUnderWine : public ::testing::Test {
 protected:
  HResult Capture(const std::vector<std::wstring>& paths) {
    auto dataObject = wine::ShellDataObjectFor(paths);
    EXPECT_TRUE(dataObject);
    win32::Win32DropFiles drop(dataObject.Get());
    return CaptureSelection(&drop, state);
  }

  wine::ComApartment apartment;
  wine::ScratchFolder folder{L"torvo-selection"};
  HandlerState state;
};

TEST_F(SelectionUnderWine, OneFile) {
  const std::wstring file = folder.AddFile(L"report.doc");
  EXPECT_EQ(Capture({file}), kOk);
  EXPECT_THAT(Captured(state), ElementsAreArray({file}));
  EXPECT_EQ(std::wstring(win32::AsWide(state.lastItemPath)), file);
}

TEST_F(SelectionUnderWine, ThreeFilesInTheShellsOrder) {
  const std::vector<std::wstring> files = {folder.AddFile(L"a.txt"), folder.AddFile(L"b b.txt"),
                                           folder.AddFile(L"\u6587\u4EF6.txt")};
  EXPECT_EQ(Capture(files), kOk);
  EXPECT_THAT(Captured(state), ElementsAreArray(files));
  EXPECT_EQ(std::wstring(win32::AsWide(state.lastItemPath)), files.back());
}

TEST_F(SelectionUnderWine, AFolder) {
  const std::wstring sub = folder.AddFolder(L"photos");
  EXPECT_EQ(Capture({sub}), kOk);
  EXPECT_THAT(Captured(state), ElementsAreArray({sub}));
}

// An item array across folders with a virtual item (the computer, which has no file-system path)
// between two real ones: the virtual item is left out. A null array holds no item.
TEST_F(SelectionUnderWine, ItemArrayLeavesOutItemsWithoutAFileSystemPath) {
  const std::vector<std::wstring> real = {folder.AddFile(L"report.doc"), folder.AddFolder(L"photos")};
  std::vector<win32::CoTaskMemory<ITEMIDLIST_ABSOLUTE>> lists(3);
  ASSERT_EQ(::SHParseDisplayName(real[0].c_str(), nullptr, lists[0].Put(), 0, nullptr), S_OK);
  ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, lists[1].Put()), S_OK);
  ASSERT_EQ(::SHParseDisplayName(real[1].c_str(), nullptr, lists[2].Put(), 0, nullptr), S_OK);
  PCIDLIST_ABSOLUTE ids[] = {lists[0].Get(), lists[1].Get(), lists[2].Get()};
  win32::ComPtr<IShellItemArray> items;
  ASSERT_EQ(::SHCreateShellItemArrayFromIDLists(3, ids, items.Put()), S_OK);

  win32::Win32ItemArray array(items.Get());
  EXPECT_EQ(array.Count(), 3u);
  EXPECT_EQ(CaptureItemSelection(&array, state), kOk);
  EXPECT_THAT(Captured(state), ElementsAreArray(real));
  EXPECT_EQ(win32::Win32ItemArray(nullptr).Count(), 0u);
}

}  // namespace
}  // namespace torvo
