// What the move takes: only paths that are already the full form Windows makes of them, so that the
// item judged is the item moved; and the vault drive recognised by drive, whatever the spelling.
#include "shellmenu/movable_path.h"

#include <gtest/gtest.h>

#include <string>

#include "shellmenu/menu_decision.h"
#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_environment.h"

namespace torvo {
namespace {

struct MovableCase {
  const char* name;
  std::u16string path;
  bool movable;
};

class MovablePath : public ::testing::TestWithParam<MovableCase> {};

TEST_P(MovablePath, IsTheFullFormOfExactlyOneItem) { EXPECT_EQ(IsMovablePath(GetParam().path), GetParam().movable); }

INSTANTIATE_TEST_SUITE_P(
    Rows, MovablePath,
    ::testing::Values(
        MovableCase{"FileOnADrive", u"D:\\Data\\report.doc", true}, MovableCase{"FolderOnADrive", u"D:\\Data", true},
        MovableCase{"FileOnAShare", u"\\\\server\\share\\a.txt", true},
        MovableCase{"ShareItself", u"\\\\server\\share", true},
        MovableCase{"NamesWithInnerDotsAndBlanks", u"D:\\my .data\\a . b.txt", true}, MovableCase{"Empty", u"", false},
        MovableCase{"ClosingBackslash", u"D:\\Data\\", false}, MovableCase{"DriveRoot", u"D:\\", false},
        MovableCase{"ShareRootWithBackslash", u"\\\\server\\share\\", false},
        MovableCase{"Wildcard", u"D:\\Data\\*.doc", false}, MovableCase{"QuestionMark", u"D:\\Data\\?.doc", false},
        MovableCase{"Relative", u"report.doc", false}, MovableCase{"RelativeWithParentSteps", u"..\\Windows", false},
        MovableCase{"DriveRelative", u"D:report.doc", false}, MovableCase{"DriveAlone", u"D:", false},
        MovableCase{"Rooted", u"\\Data\\a.txt", false},
        MovableCase{"ParentStep", u"D:\\Users\\ann\\Documents\\sub\\..", false},
        MovableCase{"ParentStepInTheMiddle", u"D:\\x\\..\\Windows\\System32\\a.dll", false},
        MovableCase{"CurrentFolderStep", u"D:\\.\\a.txt", false},
        MovableCase{"DoubledSeparator", u"D:\\\\Windows\\a", false},
        MovableCase{"ForwardSlash", u"D:/Data/a.txt", false},
        MovableCase{"NameEndingInABlank", u"D:\\Data\\report.doc ", false},
        MovableCase{"NameEndingInADot", u"D:\\Data\\a.txt.", false},
        MovableCase{"FolderEndingInADot", u"D:\\Data.\\a.txt", false},
        MovableCase{"Stream", u"D:\\a\\file.txt:s", false}, MovableCase{"DefaultStream", u"D:\\a\\a.txt::$DATA", false},
        MovableCase{"DeviceUncPrefix", u"\\\\.\\UNC\\localhost\\C$\\Windows", false},
        MovableCase{"DeviceDrivePrefix", u"\\\\.\\D:\\Data\\a.txt", false},
        MovableCase{"GlobalRoot", u"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume2\\a.txt", false},
        MovableCase{"Volume", u"\\\\?\\Volume{0b1c2d3e-0000-0000-0000-100000000000}\\a.txt", false},
        MovableCase{"Pipe", u"\\\\.\\pipe\\agent", false},
        MovableCase{"ShareWithoutServer", u"\\\\\\share\\a.txt", false},
        MovableCase{"ServerWithoutShare", u"\\\\server", false},
        MovableCase{"LongPathForm", u"\\\\?\\D:\\Data\\a.txt", false},
        MovableCase{"LongPathFormOfAShare", u"\\\\?\\UNC\\server\\share\\a.txt", false},
        MovableCase{"TooLong", u"D:\\" + std::u16string(257, u'x'), false},
        MovableCase{"LongestThatFits", u"D:\\" + std::u16string(256, u'x'), true}),
    fakes::CaseName());

struct VaultCase {
  const char* name;
  char16_t vaultLetter;
  std::u16string path;
  PathVerdict verdict;
};

class VaultDriveJudgement : public ::testing::TestWithParam<VaultCase> {};

TEST_P(VaultDriveJudgement, ComparesTheDriveOfTheCanonicalForm) {
  const fakes::FakeEnvironment env = fakes::ExampleMachine();
  ExpandedProtectedPaths places(env);
  const VaultCase& c = GetParam();
  EXPECT_EQ(JudgePath(c.path.c_str(), BuildVaultRoot(c.vaultLetter), places).verdict, c.verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VaultDriveJudgement,
    ::testing::Values(
        VaultCase{"OnTheVault", u'U', u"u:\\docs\\a.txt", PathVerdict::kOnVaultDrive},
        VaultCase{"VaultInLongPathForm", u'V', u"\\\\?\\V:\\a.txt", PathVerdict::kOnVaultDrive},
        VaultCase{"VaultThroughItsAdministrativeShare", u'V', u"\\\\localhost\\v$\\a.txt", PathVerdict::kOnVaultDrive},
        VaultCase{"ShareOnAVaultLetteredU", u'U', u"\\\\?\\UNC\\server\\share\\a.txt", PathVerdict::kAllowed},
        VaultCase{"DeviceUncOnAVaultLetteredU", u'U', u"\\\\.\\UNC\\server\\share\\a.txt", PathVerdict::kAllowed},
        VaultCase{"GlobalRootOnAVaultLetteredG", u'G', u"\\\\?\\GLOBALROOT\\Device\\a.txt", PathVerdict::kAllowed},
        VaultCase{"VolumeOnAVaultLetteredV", u'V', u"\\\\?\\Volume{0b1c2d3e}\\a.txt", PathVerdict::kAllowed},
        VaultCase{"RelativeOnAVaultLetteredR", u'R', u"report.doc", PathVerdict::kAllowed},
        VaultCase{"RelativeOnTheCurrentDrive", u'D', u"report.doc", PathVerdict::kOnVaultDrive}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo
