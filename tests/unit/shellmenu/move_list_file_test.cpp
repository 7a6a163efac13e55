#include "shellmenu/move_list_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_temp_files.h"

namespace torvo {
namespace {

using fakes::FakeTempFiles;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Bytes = std::vector<unsigned char>;

constexpr char16_t kExpectedName[] = u"C:\\Users\\ann\\AppData\\Local\\Temp\\m2m1A2B.tmp";

HandlerState Selecting(std::vector<std::u16string> paths) {
  HandlerState state;
  state.m_selection = std::move(paths);
  return state;
}

TEST(MoveListFile, TwoEntriesGiveTheTwentyEightBytesOfTheFormat) {
  FakeTempFiles files;
  const std::u16string path = WriteMoveListFile(Selecting({u"D:\\a.txt", u"E:\\b"}), files);
  EXPECT_EQ(path, kExpectedName);
  const Bytes expected = {0x44, 0, 0x3A, 0, 0x5C, 0, 0x61, 0, 0x2E, 0, 0x74, 0, 0x78, 0,
                          0x74, 0, 0x0A, 0, 0x45, 0, 0x3A, 0, 0x5C, 0, 0x62, 0, 0x0A, 0};
  EXPECT_EQ(files.files[path].bytes, expected);
  EXPECT_FALSE(files.files[path].open);
  EXPECT_THAT(files.writeSizes, ElementsAre(18u, 10u));  // one write per record
}

TEST(MoveListFile, AsksThePlatformAsTheFormatRequires) {
  FakeTempFiles files;
  WriteMoveListFile(Selecting({u"D:\\a"}), files);
  EXPECT_THAT(files.folderSizes, ElementsAre(512u));
  ASSERT_EQ(files.uniqueRequests.size(), 1u);
  EXPECT_EQ(files.uniqueRequests[0].folder, files.folder);
  EXPECT_EQ(files.uniqueRequests[0].prefix, u"m2m");
  EXPECT_EQ(files.uniqueRequests[0].unique, 0x1A2Bu);  // a number of the platform's random source, never 0
  EXPECT_THAT(files.opened, ElementsAre(kExpectedName));
}

// Another program may have put a file, or a link to one of the user's, where the list would go.
TEST(MoveListFile, ANameThatIsTakenIsNeverWrittenThrough) {
  FakeTempFiles files;
  files.files[kExpectedName].bytes = {0x21, 0};
  files.nameNumbers = {0x1A2A, 0x00FF};
  EXPECT_EQ(WriteMoveListFile(Selecting({u"D:\\a"}), files), u"C:\\Users\\ann\\AppData\\Local\\Temp\\m2m100.tmp");
  EXPECT_EQ(files.files[kExpectedName].bytes, Bytes({0x21, 0}));
}

struct ContentCase {
  const char* name;
  std::vector<std::u16string> paths;
  Bytes bytes;
};

class MoveListContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(MoveListContent, HoldsTheUtf16LeRecordsWithoutByteOrderMark) {
  FakeTempFiles files;
  const std::u16string path = WriteMoveListFile(Selecting(GetParam().paths), files);
  ASSERT_EQ(path, kExpectedName);
  EXPECT_EQ(files.files[path].bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, MoveListContent,
    ::testing::Values(
        ContentCase{"EmptySelectionGivesAnEmptyFile", {}, {}},
        ContentCase{"SingleEntryEndsWithLineFeed", {u"C:\\x"}, {0x43, 0, 0x3A, 0, 0x5C, 0, 0x78, 0, 0x0A, 0}},
        ContentCase{"ChineseFolderKeepsItsCodeUnits",
                    {u"D:\\\u684C\u9762"},
                    {0x44, 0, 0x3A, 0, 0x5C, 0, 0x4C, 0x68, 0x62, 0x97, 0x0A, 0}},
        ContentCase{"SurrogatePairStaysTwoUnits",
                    {u"D:\\\U0001F600"},
                    {0x44, 0, 0x3A, 0, 0x5C, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x0A, 0}},
        ContentCase{"FirstBytesAreTheFirstCharacterNotAMark", {u"\uFEFF"}, {0xFF, 0xFE, 0x0A, 0}},
        ContentCase{
            "DuplicatesStayInOrder", {u"b", u"a", u"b"}, {0x62, 0, 0x0A, 0, 0x61, 0, 0x0A, 0, 0x62, 0, 0x0A, 0}}),
    fakes::CaseName());

TEST(MoveListFile, LongestEntryTakesTwiceItsLengthPlusOneInBytes) {
  FakeTempFiles files;
  const std::u16string entry = u"D:\\" + std::u16string(256, u'n');  // 259 units
  const std::u16string path = WriteMoveListFile(Selecting({entry}), files);
  const Bytes& bytes = files.files[path].bytes;
  ASSERT_EQ(bytes.size(), 520u);
  EXPECT_EQ(bytes[518], 0x0A);
  EXPECT_EQ(bytes[519], 0x00);
}

struct FailureCase {
  const char* name;
  void (*inject)(FakeTempFiles&);
};

class MoveListFailure : public ::testing::TestWithParam<FailureCase> {};

// A list written part way would hand over less than the user chose: nothing stays.
TEST_P(MoveListFailure, GivesTheEmptyPathAndLeavesNoFile) {
  FakeTempFiles files;
  GetParam().inject(files);
  EXPECT_EQ(WriteMoveListFile(Selecting({u"D:\\a", u"D:\\b", u"D:\\c"}), files), u"");
  EXPECT_THAT(files.files, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MoveListFailure,
    ::testing::Values(FailureCase{"TempFolderFails", [](FakeTempFiles& f) { f.folderResult = 0; }},
                      FailureCase{"TempFolderLongerThanTheBuffer",
                                  [](FakeTempFiles& f) { f.folder = u"C:\\" + std::u16string(600, u't') + u"\\"; }},
                      FailureCase{"TempFolderAnswerAboveTheBuffer", [](FakeTempFiles& f) { f.folderResult = 513; }},
                      FailureCase{"UniqueNameFails", [](FakeTempFiles& f) { f.uniqueNameFails = true; }},
                      FailureCase{"NoNewFileCanBeCreated", [](FakeTempFiles& f) { f.createFails = true; }},
                      FailureCase{"WriteFailsAfterOneRecord", [](FakeTempFiles& f) { f.writesBeforeFailure = 1; }},
                      FailureCase{"MemoryRunsOutWhileWriting", [](FakeTempFiles& f) { f.writeThrowsBadAlloc = true; }}),
    fakes::CaseName());

TEST(MoveListFile, FailedWriteStopsAtOnce) {
  FakeTempFiles files;
  files.writesBeforeFailure = 1;
  WriteMoveListFile(Selecting({u"D:\\a", u"D:\\b", u"D:\\c"}), files);
  EXPECT_EQ(files.writeSizes.size(), 2u);  // the failed second record is the last write tried
}

}  // namespace
}  // namespace torvo
