#include "shellmenu/protected_paths.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_environment.h"

namespace torvo {
namespace {

using fakes::ExampleMachine;
using fakes::FakeEnvironment;

struct PathCase {
  const char* name;
  std::u16string path;
  std::int32_t expected;
};

class ProtectedOnExampleMachine : public ::testing::TestWithParam<PathCase> {};

TEST_P(ProtectedOnExampleMachine, AnswersAsTheTableSays) {
  const FakeEnvironment env = ExampleMachine();
  EXPECT_EQ(IsProtectedPath(env, GetParam().path.c_str()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ProtectedOnExampleMachine,
    ::testing::Values(
        PathCase{"WindowsSubfolder", u"D:\\Windows\\System32\\drivers", 1},
        PathCase{"WindowsOldIsNotBoundToAComponent", u"D:\\Windows.old\\readme.txt", 1},
        PathCase{"ContainsMatchIgnoresCase", u"d:\\windows\\system32", 1},
        PathCase{"CommonFilesInOtherCase", u"D:\\program files\\COMMON FILES\\x.dll", 1},
        PathCase{"ProgramFilesItself", u"D:\\Program Files", 1},
        PathCase{"ProgramFilesFoldsAsciiCase", u"D:\\PROGRAM FILES", 1},
        PathCase{"BelowProgramFiles", u"D:\\Program Files\\App", 0},
        PathCase{"CommonFilesAtAnyDepth", u"D:\\Program Files\\Common Files\\x.dll", 1},
        PathCase{"TrailingBackslashIsTrimmed", u"D:\\Program Files\\", 1},
        PathCase{"TrailingDotsAndBlanksAreTrimmed", u"D:\\Program Files. .", 1},
        PathCase{"DriveRootKeepsItsBackslash", u"E:\\.", 1}, PathCase{"ShortNameOfProgramFiles", u"D:\\PROGRA~1", 1},
        PathCase{"ForwardSlashes", u"D:/Program Files/", 1}, PathCase{"LongPathPrefix", u"\\\\?\\D:\\Program Files", 1},
        PathCase{"DevicePrefix", u"\\\\.\\D:\\Windows\\notepad.exe", 1},
        PathCase{"AdministrativeShareOfLocalhost", u"\\\\?\\UNC\\localhost\\D$\\Program Files", 1},
        PathCase{"AdministrativeShareOfTheLoopback", u"\\\\127.0.0.1\\d$\\Windows\\System32", 1},
        PathCase{"AdministrativeShareOfThisComputer", u"\\\\ann-pc\\D$\\Users\\ann", 1},
        PathCase{"AdministrativeShareOfAnotherComputer", u"\\\\fileserver\\D$\\Program Files", 0},
        PathCase{"OrdinaryShareOfThisComputer", u"\\\\localhost\\share\\Program Files", 0},
        PathCase{"DocumentsWhereOneDriveKeepsThem", u"D:\\Users\\ann\\OneDrive\\Documents", 1},
        PathCase{"InsideRedirectedDocuments", u"D:\\Users\\ann\\OneDrive\\Documents\\a.txt", 0},
        PathCase{"DownloadsKnownFolder", u"d:\\users\\ann\\downloads", 1},
        PathCase{"LocalAppDataKnownFolder", u"D:\\Users\\ann\\AppData\\Local", 1},
        PathCase{"ProgramFilesX86Itself", u"d:\\program files (X86)", 1},
        PathCase{"BelowProgramFilesX86", u"D:\\Program Files (x86)\\App", 0},
        PathCase{"CommonFilesX86AtAnyDepth", u"D:\\Program Files (x86)\\Common Files\\y\\z.dll", 1},
        PathCase{"SystemDriveRoot", u"D:\\", 1}, PathCase{"OtherDriveRootLowerCase", u"e:\\", 1},
        PathCase{"DriveRelativeIsItsCurrentFolder", u"E:", 1}, PathCase{"ProfileFolder", u"D:\\Users\\ann", 1},
        PathCase{"InsideProfile", u"D:\\Users\\ann\\Documents\\a.txt", 0},
        PathCase{"UsersWithBlanksAround", u"  D:\\Users  ", 1},
        PathCase{"TabsAndLineEndsAround", u"\t\r\nD:\\Users\\Public\n", 1},
        PathCase{"DesktopChinese", u"D:\\Users\\ann\\\u684C\u9762", 1},
        PathCase{"StartMenuChinese", u"D:\\Users\\ann\\\u300C\u5F00\u59CB\u300D\u83DC\u5355", 1},
        PathCase{"FavouritesChinese", u"D:\\Users\\ann\\\u6536\u85CF\u5939", 1},
        PathCase{"BelowDesktopChinese", u"D:\\Users\\ann\\\u684C\u9762\\a.txt", 0},
        PathCase{"AllUsersProfile", u"d:\\programdata", 1},
        PathCase{"RoamingAppData", u"D:\\Users\\ann\\AppData\\Roaming", 1},
        PathCase{"DocumentsAndSettingsAllUsers", u"D:\\Documents and Settings\\All Users", 1},
        PathCase{"ProfileInOtherCase", u"D:\\USERS\\ANN\\\u684C\u9762", 1}, PathCase{"EmptyPath", u"", 0},
        PathCase{"OnlyBlanks", u"   ", 0}, PathCase{"OrdinaryFile", u"D:\\data\\report.doc", 0},
        // Every other spelling Windows opens, judged as the folder it names.
        PathCase{"ParentOfASubfolder", u"D:\\Users\\ann\\OneDrive\\Documents\\sub\\..", 1},
        PathCase{"ParentStepsStopAtTheRoot", u"D:\\..\\..\\Windows", 1},
        PathCase{"ParentInTheMiddle", u"D:\\x\\..\\Windows\\System32\\a.dll", 1},
        PathCase{"CurrentFolderSteps", u"D:\\.\\Program Files\\.", 1},
        PathCase{"DoubledSeparator", u"D:\\\\Windows\\a", 1},
        PathCase{"RelativeToTheCurrentFolder", u"..\\..\\Program Files", 1},
        PathCase{"DriveRelativeOnTheCurrentDrive", u"D:AppData\\Roaming", 1},
        PathCase{"RootedOnTheCurrentDrive", u"\\Windows\\notepad.exe", 1},
        PathCase{"DeviceUncPrefix", u"\\\\.\\UNC\\localhost\\D$\\Windows", 1},
        PathCase{"LongPathPrefixWithParentSteps", u"\\\\?\\D:\\x\\..\\Windows", 1},
        PathCase{"GlobalRootNamesNoFolder", u"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume2\\Windows", 0},
        PathCase{"VolumeNamesNoFolder", u"\\\\?\\Volume{0b1c2d3e-0000-0000-0000-100000000000}\\Windows", 0},
        PathCase{"AdminShareIsTheWindowsFolder", u"\\\\localhost\\ADMIN$\\System32", 1},
        PathCase{"AdminShareItself", u"\\\\ANN-PC\\admin$", 1},
        PathCase{"AdminShareOfAnotherComputer", u"\\\\fileserver\\ADMIN$\\System32", 0},
        PathCase{"LocalhostInCapitals", u"\\\\LOCALHOST\\D$\\Program Files", 1},
        PathCase{"LocalhostWithItsTrailingDot", u"\\\\localhost.\\D$\\Program Files", 1},
        PathCase{"ThisComputersDnsName", u"\\\\ANN-PC.corp.example.com\\D$\\Windows", 1},
        PathCase{"AnyLoopbackAddress", u"\\\\127.0.0.2\\D$\\Windows", 1},
        PathCase{"IPv6LoopbackLiteral", u"\\\\--1.ipv6-literal.net\\D$\\Windows", 1},
        PathCase{"NoLoopbackAddress", u"\\\\128.0.0.1\\D$\\Windows", 0},
        PathCase{"NoAddressAtAll", u"\\\\127.0.0.256\\D$\\Windows", 0},
        PathCase{"ShortNamesInEveryFolder", u"D:\\PROGRA~1\\COMMON~1\\x.dll", 1}),
    fakes::CaseName());

// Letters beyond ASCII fold as the file system folds them, in both kinds of row.
TEST(ProtectedPath, NonAsciiLettersMatchWithoutRegardToCase) {
  FakeEnvironment env = ExampleMachine();
  env.Set(u"USERPROFILE", u"D:\\Users\\\u00C9mile");
  env.Set(u"SYSTEMROOT", u"D:\\\u041E\u043A\u043D\u0430");
  EXPECT_EQ(IsProtectedPath(env, u"d:\\users\\\u00E9MILE"), 1);
  EXPECT_EQ(IsProtectedPath(env, u"D:\\\u043E\u041A\u041D\u0410\\system32"), 1);
  EXPECT_EQ(IsProtectedPath(env, u"D:\\Users\\Emile"), 0);  // an accent is no letter case
}

TEST(ProtectedPathTable, HasFiftyNineRowsWithContainsOnlyForCommonFilesAndSystemRoot) {
  ASSERT_EQ(g_protectedPaths.size(), 59u);
  for (std::size_t i = 0; i < g_protectedPaths.size(); ++i) {
    const bool contains = i == 2 || i == 7 || i == 47 || i == 48;
    EXPECT_EQ(g_protectedPaths[i].nMatch, contains ? PATH_MATCH_CONTAINS : PATH_MATCH_EQUAL) << "row " << i + 1;
    EXPECT_EQ(g_protectedPaths[i].folder != KnownFolder::kNone, i >= 49) << "row " << i + 1;
  }
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    const std::u16string root{letter, u':', u'\\'};
    EXPECT_EQ(std::u16string(g_protectedPaths[19 + (letter - u'A')].strPattern), root);
  }
}

TEST(ProtectedPathTable, ChineseRowsAreStoredAsTheirCodeUnits) {
  EXPECT_EQ(std::u16string(g_protectedPaths[10].strPattern),
            (std::u16string{u'%', u'U', u'S', u'E',  u'R',   u'P',   u'R',   u'O',   u'F',   u'I',
                            u'L', u'E', u'%', u'\\', 0x300C, 0x5F00, 0x59CB, 0x300D, 0x83DC, 0x5355}));
  EXPECT_EQ(std::u16string(g_protectedPaths[11].strPattern),
            std::u16string(u"%USERPROFILE%\\") + char16_t{0x684C} + char16_t{0x9762});
  EXPECT_EQ(std::u16string(g_protectedPaths[14].strPattern),
            std::u16string(u"%USERPROFILE%\\") + char16_t{0x6536} + char16_t{0x85CF} + char16_t{0x5939});
}

TEST(ProtectedPath, NullPathIsNotProtectedAndExpandsNothing) {
  const FakeEnvironment env = ExampleMachine();
  EXPECT_EQ(IsProtectedPath(env, nullptr), 0);
  EXPECT_EQ(env.expansions, 0);
}

TEST(ProtectedPath, EmptyCommonFilesOrSystemRootProtectsEverything) {
  for (const char16_t* name : {u"CommonProgramFiles", u"SYSTEMROOT"}) {
    FakeEnvironment env = ExampleMachine();
    env.Set(name, u"");
    EXPECT_EQ(IsProtectedPath(env, u"D:\\data\\a.txt"), 1) << std::string(name, name + 1);
    EXPECT_EQ(IsProtectedPath(env, u""), 1);
  }
}

TEST(ProtectedPath, UnsetSystemDriveLeavesTheDriveRootRowsInCharge) {
  FakeEnvironment env = ExampleMachine();
  env.Unset(u"SystemDrive");
  EXPECT_EQ(IsProtectedPath(env, u"D:\\"), 1);
  EXPECT_EQ(IsProtectedPath(env, u"D:\\Users"), 0);
  // A relative spelling of the unexpanded text lies below the current folder: no row.
  EXPECT_EQ(IsProtectedPath(env, u"%SystemDrive%\\Users"), 0);
}

TEST(ProtectedPath, FailedExpansionSkipsOnlyItsRow) {
  FakeEnvironment env = ExampleMachine();
  env.FailExpansionOf(u"%SYSTEMROOT%");
  EXPECT_EQ(IsProtectedPath(env, u"D:\\Windows\\System32"), 0);
  EXPECT_EQ(IsProtectedPath(env, u"D:\\Program Files"), 1);
  EXPECT_EQ(IsProtectedPath(env, u"D:\\Program Files\\Common Files\\a"), 1);
}

TEST(ProtectedPath, ExpansionLongerThanTheBufferSkipsItsRow) {
  FakeEnvironment env = ExampleMachine();
  const std::u16string longRoot = u"D:\\" + std::u16string(300, u'w');
  env.Set(u"SYSTEMROOT", longRoot);
  EXPECT_EQ(IsProtectedPath(env, (longRoot + u"\\x").c_str()), 0);
  // Whatever the buffer held before must not be compared: an empty buffer would match everything.
  EXPECT_EQ(IsProtectedPath(env, u"D:\\data\\a.txt"), 0);
}

TEST(ProtectedPath, StopsAtTheFirstMatchingRow) {
  FakeEnvironment env = ExampleMachine();
  EXPECT_EQ(IsProtectedPath(env, u"D:\\"), 1);
  EXPECT_EQ(env.expansions, 1);
  env.expansions = 0;
  EXPECT_EQ(IsProtectedPath(env, u"D:\\data\\a.txt"), 0);
  EXPECT_EQ(env.expansions, 49);
}

}  // namespace
}  // namespace torvo
