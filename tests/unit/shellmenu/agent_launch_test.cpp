#include "shellmenu/agent_launch.h"
#include "shellmenu/program_launch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_handler_platform.h"

namespace torvo {
namespace {

using fakes::FakeHandlerPlatform;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char16_t kListPath[] = u"C:\\Users\\ann\\AppData\\Local\\Temp\\m2m1A2B.tmp";

class AgentLaunch : public ::testing::Test {
 protected:
  HResult Launch() { return LaunchAgentWithList(state, fake.starter, fake.tempFiles); }

  FakeHandlerPlatform fake;
  HandlerState state{{u"D:\\data\\report.doc"}};
};

TEST_F(AgentLaunch, StartsTheAgentNextToTheDllWithTheQuotedListFile) {
  EXPECT_EQ(Launch(), kOk);
  ASSERT_EQ(fake.starter.starts.size(), 1u);
  EXPECT_EQ(fake.starter.starts[0].file, u"D:\\Apps\\Vault\\zebtorvofloat.exe");
  EXPECT_EQ(fake.starter.starts[0].parameters, u"/_loginmove \"" + std::u16string(kListPath) + u"\"");
  EXPECT_THAT(fake.starter.modulePathSizes, ElementsAre(260u));
  const std::vector<unsigned char> record = {0x44, 0, 0x3A, 0, 0x5C, 0, 0x64, 0, 0x61, 0, 0x74, 0, 0x61, 0,
                                             0x5C, 0, 0x72, 0, 0x65, 0, 0x70, 0, 0x6F, 0, 0x72, 0, 0x74, 0,
                                             0x2E, 0, 0x64, 0, 0x6F, 0, 0x63, 0, 0x0A, 0};
  EXPECT_EQ(fake.tempFiles.files[kListPath].bytes, record);
}

TEST_F(AgentLaunch, ListFileIsClosedBeforeTheAgentStarts) {
  Launch();
  EXPECT_THAT(fake.journal,
              ElementsAre("module path", "temp folder", "unique name", "create", "write", "close", "start"));
}

TEST_F(AgentLaunch, ListPathWithSpacesStaysOneQuotedArgument) {
  fake.tempFiles.folder = u"C:\\Documents and Settings\\ann\\Local Settings\\Temp\\";
  Launch();
  ASSERT_EQ(fake.starter.starts.size(), 1u);
  EXPECT_EQ(fake.starter.starts[0].parameters,
            u"/_loginmove \"C:\\Documents and Settings\\ann\\Local Settings\\Temp\\m2m1A2B.tmp\"");
}

TEST_F(AgentLaunch, FailedListFileStillStartsTheAgentWithAnEmptyQuotedPath) {
  fake.tempFiles.createFails = true;
  EXPECT_EQ(Launch(), kOk);
  ASSERT_EQ(fake.starter.starts.size(), 1u);
  EXPECT_EQ(fake.starter.starts[0].parameters, u"/_loginmove \"\"");
}

TEST_F(AgentLaunch, AnAgentThatCannotStartLeavesNoListOfTheUsersPaths) {
  fake.starter.missingFiles = {u"D:\\Apps\\Vault\\zebtorvofloat.exe"};
  EXPECT_EQ(Launch(), kOk);
  EXPECT_THAT(fake.starter.cannotFindMessages, ElementsAre(u"D:\\Apps\\Vault\\zebtorvofloat.exe"));
  EXPECT_THAT(fake.tempFiles.files, IsEmpty());
}

TEST_F(AgentLaunch, MemoryRunningOutDoesNotEscape) {
  fake.starter.startThrowsBadAlloc = true;
  EXPECT_EQ(Launch(), kOutOfMemory);
}

struct FolderCase {
  const char* name;
  std::u16string modulePath;
  std::u16string executable;
};

class AgentExecutable : public ::testing::TestWithParam<FolderCase> {};

TEST_P(AgentExecutable, IsTheDllsFolderWithOneBackslashAndTheAgentsName) {
  FakeHandlerPlatform fake;
  fake.starter.modulePath = GetParam().modulePath;
  EXPECT_EQ(LaunchAgentWithList(HandlerState{}, fake.starter, fake.tempFiles), kOk);
  ASSERT_EQ(fake.starter.starts.size(), 1u);
  EXPECT_EQ(fake.starter.starts[0].file, GetParam().executable);
}

INSTANTIATE_TEST_SUITE_P(
    ModulePaths, AgentExecutable,
    ::testing::Values(
        FolderCase{"DriveRootKeepsItsBackslash", u"C:\\TorvoShellMenu.dll", u"C:\\zebtorvofloat.exe"},
        FolderCase{"FolderWithSpacesNeedsNoQuotes", u"C:\\Program Files\\Zeb Torvo\\TorvoShellMenu.dll",
                   u"C:\\Program Files\\Zeb Torvo\\zebtorvofloat.exe"},
        FolderCase{"NetworkShare", u"\\\\server\\share\\tools\\TorvoShellMenu.dll",
                   u"\\\\server\\share\\tools\\zebtorvofloat.exe"},
        FolderCase{"LongPathPrefix", u"\\\\?\\C:\\Apps\\TorvoShellMenu.dll", u"\\\\?\\C:\\Apps\\zebtorvofloat.exe"},
        FolderCase{"ChineseFolder", u"D:\\\u5DE5\u5177\\TorvoShellMenu.dll", u"D:\\\u5DE5\u5177\\zebtorvofloat.exe"},
        FolderCase{"LongestFolderThatFits", u"D:\\" + std::u16string(238, u'f') + u"\\T.dll",
                   u"D:\\" + std::u16string(238, u'f') + u"\\zebtorvofloat.exe"}),  // 259 units
    fakes::CaseName());

struct NoStartCase {
  const char* name;
  void (*inject)(fakes::FakeProgramStarter&);
};

class AgentNotStarted : public ::testing::TestWithParam<NoStartCase> {};

TEST_P(AgentNotStarted, WithoutAnAbsoluteFolderNothingIsWrittenOrStarted) {
  FakeHandlerPlatform fake;
  GetParam().inject(fake.starter);
  EXPECT_EQ(LaunchAgentWithList(HandlerState{{u"D:\\a"}}, fake.starter, fake.tempFiles), kOk);
  EXPECT_THAT(fake.starter.starts, IsEmpty());
  EXPECT_THAT(fake.tempFiles.files, IsEmpty());
  EXPECT_THAT(fake.tempFiles.folderSizes, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    ModulePaths, AgentNotStarted,
    ::testing::Values(
        NoStartCase{"PathCannotBeRead", [](fakes::FakeProgramStarter& s) { s.modulePathFails = true; }},
        NoStartCase{"PathCutAtTheBuffer",
                    [](fakes::FakeProgramStarter& s) { s.modulePath = u"D:\\" + std::u16string(300, u'p'); }},
        NoStartCase{"PathOfExactly260Units",
                    [](fakes::FakeProgramStarter& s) { s.modulePath = u"D:\\" + std::u16string(257, u'p'); }},
        NoStartCase{"BareFileName", [](fakes::FakeProgramStarter& s) { s.modulePath = u"TorvoShellMenu.dll"; }},
        NoStartCase{"DriveRelative", [](fakes::FakeProgramStarter& s) { s.modulePath = u"D:TorvoShellMenu.dll"; }},
        NoStartCase{"RootOfTheCurrentDrive",
                    [](fakes::FakeProgramStarter& s) { s.modulePath = u"\\TorvoShellMenu.dll"; }},
        NoStartCase{"ExecutablePathWouldNotFit",
                    [](fakes::FakeProgramStarter& s) {
                      s.modulePath = u"D:\\" + std::u16string(239, u'f') + u"\\T.dll";  // 260 with the agent's name
                    }}),
    fakes::CaseName());

// The one starter of the agent and the mover: a start outside the caller's package first, the plain
// start where the platform refuses it.
struct StarterCase {
  const char* name;
  bool breakawayRefused;
  bool startFails;
  bool started;
  bool outsidePackage;
  bool needsElevation = false;  // the shell's start would ask the user for it
};

constexpr char16_t kAgent[] = u"D:\\Zeb Torvo\\zebtorvofloat.exe";

class ProgramStart : public ::testing::TestWithParam<StarterCase> {};

TEST_P(ProgramStart, AsksForTheBreakawayFirstAndStartsThePlainWayWhenRefused) {
  const StarterCase& c = GetParam();
  FakeHandlerPlatform fake;
  fake.starter.breakawayRefused = c.breakawayRefused;
  fake.starter.needsElevation = c.needsElevation;
  if (c.startFails) fake.starter.missingFiles = {kAgent};
  const std::u16string parameters = u"/_loginmove \"C:\\a b\\m2m1.tmp\"";
  EXPECT_EQ(StartProgram(fake.starter, kAgent, parameters), c.started);
  EXPECT_THAT(fake.starter.breakawayCommandLines, ElementsAre(u"\"" + std::u16string(kAgent) + u"\" " + parameters));
  ASSERT_EQ(fake.starter.starts.size(), c.started ? 1u : 0u);
  if (!c.started) return;
  EXPECT_EQ(fake.starter.starts[0].parameters, parameters);
  EXPECT_EQ(fake.starter.starts[0].outsidePackage, c.outsidePackage);
}

INSTANTIATE_TEST_SUITE_P(Platforms, ProgramStart,
                         ::testing::Values(StarterCase{"BreakawayAccepted", false, false, true, true},
                                           StarterCase{"BreakawayRefusedStartsPlainly", true, false, true, false},
                                           StarterCase{"NeitherStartReportsFailure", true, true, false, false},
                                           StarterCase{"NoElevationIsAskedFor", false, false, false, false, true}),
                         fakes::CaseName());

}  // namespace
}  // namespace torvo
