// The temporary folder, a new file created only where nothing is, and the move list file written
// into it through the real file calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_temp_files.h"
#include "shellmenu/move_list_file.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }
std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\') + 1); }

// Removes a file at the end of a test.
struct RemovedAtEnd {
  std::wstring path;
  ~RemovedAtEnd() {
    if (!path.empty()) ::DeleteFileW(path.c_str());
  }
};

std::wstring WinesTempFolder() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetEnvironmentVariableW(L"TEMP", buffer, MAX_PATH);
  return std::wstring(buffer) + L"\\";
}

TEST(TempFilesUnderWine, TempFolderIsTheUsersTemp) {
  win32::Win32TempFiles files;
  char16_t folder[512] = {};
  const std::uint32_t units = files.TempFolder(512, folder);
  EXPECT_EQ(std::wstring(win32::AsWide(folder)), WinesTempFolder());
  EXPECT_EQ(units, WinesTempFolder().size());
  EXPECT_GT(files.TempFolder(2, folder), 2u) << "too small a buffer reports the size needed";
}

TEST(TempFilesUnderWine, FileIsWrittenAndHeldWithoutSharing) {
  wine::ScratchFolder scratch(L"torvo-temp-files");
  const std::wstring path = scratch.Path() + L"\\list.tmp";
  win32::Win32TempFiles files;
  {
    const auto file = files.CreateNew(win32::AsUtf16(path.c_str()));
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->Write("ab", 2));
    EXPECT_TRUE(file->Write("cde", 3));
    const win32::UniqueFile second(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(second) << "no sharing while it is open";
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_EQ(files.CreateNew(win32::AsUtf16(path.c_str())), nullptr) << "never a file that is there";
  EXPECT_EQ(wine::FileBytes(path), "abcde");
  EXPECT_EQ(files.CreateNew(u"C:\\no such folder\\list.tmp"), nullptr);
}

TEST(MoveListFileUnderWine, RecordsLandInAnM2mFileOfTheTempFolder) {
  HandlerState state;
  state.m_selection = {u"D:\\a.txt", u"E:\\b", u"C:\\\u6587\u4EF6\\\U0001F600.txt"};
  win32::Win32TempFiles files;
  const RemovedAtEnd list{win32::AsWide(WriteMoveListFile(state, files).c_str())};
  ASSERT_FALSE(list.path.empty());
  EXPECT_EQ(Folder(list.path), WinesTempFolder());
  EXPECT_EQ(FileName(list.path).substr(0, 3), L"m2m");
  // UTF-16LE code units, no BOM, each record ended by one LF; the emoji stays a surrogate pair.
  constexpr char kExpected[] =
      "D\0:\0\\\0a\0.\0t\0x\0t\0\n\0"
      "E\0:\0\\\0b\0\n\0"
      "C\0:\0\\\0\x87\x65\xF6\x4E\\\0\x3D\xD8\x00\xDE.\0t\0x\0t\0\n\0";
  EXPECT_EQ(wine::FileBytes(list.path), std::string(kExpected, sizeof kExpected - 1));
  EXPECT_EQ(sizeof kExpected - 1, 54u);
}

// What the mover does with it: read it back whole, within its limit, then remove it.
TEST(MoveListFileUnderWine, IsReadBackWholeWithinTheLimitAndRemoved) {
  HandlerState state;
  state.m_selection = {u"D:\\a.txt", u"C:\\\u6587\u4EF6\\b"};
  win32::Win32TempFiles files;
  const std::u16string path = WriteMoveListFile(state, files);
  const RemovedAtEnd list{win32::AsWide(path.c_str())};
  const auto bytes = files.ReadWholeFile(path.c_str(), 34);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(ParseMoveList(*bytes), state.m_selection);
  EXPECT_FALSE(files.ReadWholeFile(path.c_str(), 33).has_value()) << "a file over the limit is not read";
  EXPECT_TRUE(files.RemoveFile(path.c_str()));
  EXPECT_FALSE(wine::PathExists(list.path));
  EXPECT_FALSE(files.ReadWholeFile(path.c_str(), 34).has_value());
  EXPECT_FALSE(files.RemoveFile(path.c_str()));
}

TEST(MoveListFileUnderWine, AnEmptySelectionGivesAnEmptyFile) {
  HandlerState state;
  win32::Win32TempFiles files;
  const RemovedAtEnd list{win32::AsWide(WriteMoveListFile(state, files).c_str())};
  ASSERT_FALSE(list.path.empty());
  EXPECT_TRUE(wine::PathExists(list.path));  // read as empty, a missing file would pass too
  EXPECT_EQ(wine::FileBytes(list.path), "");
}

}  // namespace
}  // namespace torvo
