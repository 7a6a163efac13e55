#include "shellmenu/vault_move.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shellmenu/destination_names.h"
#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_handler_platform.h"

namespace torvo {
namespace {

using fakes::FakeHandlerPlatform;
using fakes::ReadDoubleZeroList;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr WindowHandle kAgentWindow = 0x5150;
const std::u16string kProgressTitle =
    u"\u6B63\u5728\u628A\u6587\u4EF6\u79FB\u5165\u5230ZebTorvo\u5E76\u52A0\u5BC6\uFF0C\u8BF7\u7A0D\u5019 ...";

class VaultMove : public ::testing::Test {
 protected:
  VaultMove() { fake.agent.RunAgent(kAgentWindow, 1, u'X'); }
  HResult Move() { return MoveIntoVault(state, fake.platform); }

  FakeHandlerPlatform fake;
  HandlerState state{{u"D:\\a.txt", u"E:\\b"}};
};

TEST_F(VaultMove, MovesTheWholeSelectionIntoTheVaultRootUnderTheProgressTitle) {
  EXPECT_EQ(Move(), kOk);
  ASSERT_EQ(fake.mover.operations.size(), 1u);
  const auto& op = fake.mover.operations[0];
  EXPECT_EQ(op.hwnd, 0u);
  EXPECT_EQ(op.wFunc, 1u);  // FO_MOVE
  EXPECT_THAT(op.from, ElementsAre(u"D:\\a.txt", u"E:\\b"));
  EXPECT_EQ(ReadDoubleZeroList(op.toUnits.data()), (std::vector<std::u16string>{u"X:\\a.txt", u"X:\\b"}));
  EXPECT_EQ(op.fFlags, 0x0301);  // one destination each, simple progress, no confirmation of new folders
  EXPECT_FALSE(op.fAnyOperationsAborted);
  EXPECT_EQ(op.hNameMappings, nullptr);
  EXPECT_EQ(op.title, kProgressTitle);
  EXPECT_THAT(fake.mover.existenceTests, ElementsAre(u"X:\\"));
  EXPECT_THAT(fake.mover.listings, ElementsAre(u"X:\\"));  // the names, read once
}

TEST_F(VaultMove, LooksTheAgentUpItselfAndAsksOnlyForTheLetter) {
  Move();
  EXPECT_EQ(fake.agent.lookups.size(), 1u);
  EXPECT_THAT(fake.agent.QueryIds(), ElementsAre(1005u));
  // The destinations are named on the move's thread, not the caller's.
  EXPECT_THAT(fake.journal, ElementsAre("module path", "find", "send 1005", "exists",
                                        "file operation on its own thread", "list names"));
}

struct MissingRootCase {
  const char* name;
  bool agentRunning;
  std::uint64_t letterAnswer;
  std::u16string testedRoot;
};

class VaultRootMissing : public ::testing::TestWithParam<MissingRootCase> {};

TEST_P(VaultRootMissing, FailsWithoutMovingAnything) {
  FakeHandlerPlatform fake;
  if (GetParam().agentRunning) fake.agent.RunAgent(kAgentWindow, 1, GetParam().letterAnswer);
  EXPECT_EQ(MoveIntoVault(HandlerState{{u"D:\\a.txt"}}, fake.platform), kFail);
  EXPECT_THAT(fake.mover.existenceTests, ElementsAre(GetParam().testedRoot));
  EXPECT_THAT(fake.mover.operations, IsEmpty());
  EXPECT_THAT(fake.starter.starts, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Roots, VaultRootMissing,
                         ::testing::Values(MissingRootCase{"AgentGone", false, 0, u":\\"},
                                           MissingRootCase{"AgentAnswersNoLetter", true, 0, u":\\"},
                                           MissingRootCase{"VaultNotMounted", true, u'Q', u"Q:\\"}),
                         fakes::CaseName());

TEST_F(VaultMove, LowerCaseLetterGivesALowerCaseRootThatTheExistenceTestDecides) {
  fake.agent.answers[1005] = u'x';
  EXPECT_EQ(Move(), kOk);
  ASSERT_EQ(fake.mover.operations.size(), 1u);
  EXPECT_EQ(fake.mover.operations[0].toUnits[0], u'x');
}

TEST_F(VaultMove, EmptySelectionStillAsksForTheMove) {
  state.m_selection.clear();
  EXPECT_EQ(Move(), kOk);
  ASSERT_EQ(fake.mover.operations.size(), 1u);
  EXPECT_THAT(fake.mover.operations[0].from, IsEmpty());
}

TEST_F(VaultMove, CancelledMoveIsStillOk) {
  fake.mover.userCancels = true;
  EXPECT_EQ(Move(), kOk);
  EXPECT_EQ(fake.mover.operations.size(), 1u);
}

TEST_F(VaultMove, MissingProgressTitleIsEmptyNotNull) {
  fake.texts.texts.erase(IDS_PROGRESS_TITLE);
  EXPECT_EQ(Move(), kOk);
  ASSERT_EQ(fake.mover.operations.size(), 1u);
  EXPECT_FALSE(fake.mover.operations[0].titleNull);
  EXPECT_EQ(fake.mover.operations[0].title, u"");
}

// A host that offers no hold on its process may end at once: the move goes to torvo-move.exe.
TEST_F(VaultMove, RunsOnAThreadThatHoldsTheHostOrInTheMover) {
  EXPECT_EQ(Move(), kOk);
  fake.mover.noHostHold = true;
  EXPECT_EQ(Move(), kOk);
  ASSERT_EQ(fake.mover.operations.size(), 1u);
  EXPECT_TRUE(fake.mover.operations[0].onOwnThread);
  ASSERT_EQ(fake.starter.starts.size(), 1u);
  EXPECT_EQ(fake.starter.starts[0].file, u"D:\\Apps\\Vault\\torvo-move.exe");
  EXPECT_EQ(fake.starter.starts[0].parameters, u"X:\\ \"C:\\Users\\ann\\AppData\\Local\\Temp\\m2m1A2B.tmp\"");
}

TEST_F(VaultMove, MemoryRunningOutGivesOutOfMemory) {
  fake.mover.operationThrowsBadAlloc = true;
  EXPECT_EQ(Move(), kOutOfMemory);
}

TEST_F(VaultMove, EntryThatCannotBePassedWholeMovesNothing) {
  state.m_selection = {u"D:\\a.txt", std::u16string(u"D:\\b\0C:\\Windows", 15)};
  EXPECT_EQ(Move(), kInvalidArg);
  EXPECT_THAT(fake.mover.operations, IsEmpty());
}

// One item chosen in several spellings (letter case, its administrative share, a short name) is
// moved once, under its own name: no numbered copy for a source that the first move took away.
TEST_F(VaultMove, OneItemInSeveralSpellingsIsMovedOnce) {
  fake.environment.longNames[u"D:\\REPORT~1.DOC"] = u"D:\\report.docx";
  state.m_selection = {u"D:\\report.docx", u"d:\\REPORT.DOCX", u"\\\\localhost\\D$\\report.docx", u"D:\\REPORT~1.DOC",
                       u"E:\\report.docx"};
  EXPECT_EQ(Move(), kOk);
  ASSERT_EQ(fake.mover.operations.size(), 1u);
  EXPECT_THAT(fake.mover.operations[0].from, ElementsAre(u"D:\\report.docx", u"E:\\report.docx"));
  EXPECT_EQ(ReadDoubleZeroList(fake.mover.operations[0].toUnits.data()),
            (std::vector<std::u16string>{u"X:\\report.docx", u"X:\\report (2).docx"}));
}

// The thread that names the destinations finds none free: the agent gets the selection instead,
// as the dispatch hands it over when the move cannot be made, with the caller's "no UI".
TEST_F(VaultMove, NoFreeNameOnTheMovesThreadHandsTheSelectionToTheAgent) {
  fake.mover.listingFails = true;
  EXPECT_EQ(Move(), kOk);
  EXPECT_THAT(fake.mover.operations, IsEmpty());
  ASSERT_EQ(fake.starter.starts.size(), 1u);
  EXPECT_EQ(fake.starter.starts[0].file, u"D:\\Apps\\Vault\\zebtorvofloat.exe");
  EXPECT_EQ(fake.tempFiles.files.size(), 1u);

  FakeHandlerPlatform quiet;
  quiet.agent.RunAgent(kAgentWindow, 1, u'X');
  quiet.mover.listingFails = true;
  quiet.starter.missingFiles = {u"D:\\Apps\\Vault\\zebtorvofloat.exe"};
  EXPECT_EQ(MoveIntoVault(state, quiet.platform, InvokeOptions{false, true, 0}), kOk);
  EXPECT_THAT(quiet.starter.cannotFindMessages, IsEmpty());
  EXPECT_THAT(quiet.tempFiles.files, IsEmpty());
}

struct NamingCase {
  const char* name;
  std::vector<std::u16string> sources;
  std::vector<std::u16string> inTheVault;    // what the root holds before the move
  std::vector<std::u16string> destinations;  // none: the move is refused
  std::vector<std::u16string> folders = {};  // sources that are folders
  bool listingFails = false;
};

class DestinationNaming : public ::testing::TestWithParam<NamingCase> {};

TEST_P(DestinationNaming, NeverNamesWhatTheVaultOrTheSameMoveHolds) {
  FakeHandlerPlatform fake;
  fake.mover.existing.insert(fake.mover.existing.end(), GetParam().inTheVault.begin(), GetParam().inTheVault.end());
  fake.mover.folders = GetParam().folders;
  fake.mover.listingFails = GetParam().listingFails;
  const auto destinations = DestinationPaths(GetParam().sources, BuildVaultRoot(u'X'), fake.mover, fake.environment);
  EXPECT_EQ(destinations.value_or(std::vector<std::u16string>{}), GetParam().destinations);
  EXPECT_THAT(fake.mover.listings, ElementsAre(u"X:\\"));  // one listing, whatever the count
  EXPECT_THAT(fake.mover.existenceTests, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, DestinationNaming,
    ::testing::Values(NamingCase{"TwoOfOneNameFromTwoFolders",
                                 {u"D:\\1\\report.doc", u"D:\\2\\REPORT.DOC"},
                                 {},
                                 {u"X:\\report.doc", u"X:\\REPORT (2).DOC"}},
                      NamingCase{"NamesTheVaultHoldsAreSkipped",
                                 {u"D:\\r.doc", u"E:\\r.doc"},
                                 {u"X:\\r.doc", u"X:\\r (2).doc"},
                                 {u"X:\\r (3).doc", u"X:\\r (4).doc"}},
                      NamingCase{"FoldersDotFilesAndDoubleExtensions",
                                 {u"D:\\photos", u"D:\\.profile", u"D:\\a.tar.gz"},
                                 {u"X:\\photos", u"X:\\.profile", u"X:\\a.tar.gz"},
                                 {u"X:\\photos (2)", u"X:\\.profile (2)", u"X:\\a.tar (2).gz"}},
                      NamingCase{"NoRoomForTheNumberRefusesTheMove",
                                 {u"D:\\" + std::u16string(254, u'n')},
                                 {u"X:\\" + std::u16string(254, u'n')},
                                 {}},
                      NamingCase{"AFoldersNumberGoesAtItsEnd",
                                 {u"D:\\photos.2023", u"D:\\report.doc"},
                                 {u"X:\\photos.2023", u"X:\\report.doc"},
                                 {u"X:\\photos.2023 (2)", u"X:\\report (2).doc"},
                                 {u"D:\\photos.2023"}},
                      NamingCase{"OnlyTheLastNumberIsFree",
                                 {u"D:\\r.doc"},
                                 fakes::NumberedSeries(u"X:\\", u"r", u".doc", 9998),
                                 {u"X:\\r (9999).doc"}},
                      NamingCase{"EveryNumberTakenRefusesTheMove",
                                 {u"D:\\r.doc"},
                                 fakes::NumberedSeries(u"X:\\", u"r", u".doc", 9999),
                                 {}},
                      NamingCase{"NamesOutsideTheSeriesTakeNoNumber",
                                 {u"D:\\r.doc", u"D:\\r.doc"},
                                 {u"X:\\r.doc", u"X:\\r (02).doc", u"X:\\r (2).docx", u"X:\\rr (2).doc",
                                  u"X:\\q (2).doc", u"X:\\r (3).txt", u"X:\\r (x).doc", u"X:\\r (10000).doc"},
                                 {u"X:\\r (2).doc", u"X:\\r (3).doc"}},
                      NamingCase{"UnlistableRootRefusesTheMove", {u"D:\\r.doc"}, {}, {}, {}, true}),
    fakes::CaseName());

TEST(SourceList, TwoEntriesTakeTwiceTwoHundredSixtyOneUnitsAndTwoZeros) {
  const auto list = BuildSourceList({u"D:\\a.txt", u"E:\\b"});
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 524u);
  const std::u16string packed = u"D:\\a.txt" + std::u16string(1, 0) + u"E:\\b";
  EXPECT_EQ(std::u16string(list->data(), packed.size()), packed);
  EXPECT_TRUE(std::all_of(list->begin() + static_cast<std::ptrdiff_t>(packed.size()), list->end(),
                          [](char16_t unit) { return unit == 0; }));
}

TEST(SourceList, EmptySelectionIsTwoZeros) { EXPECT_EQ(BuildSourceList({}), (std::vector<char16_t>{0, 0})); }

TEST(SourceList, EntriesOf259UnitsFillTheirShareAndTheListStillEndsWithTwoZeros) {
  const std::u16string longest = u"D:\\" + std::u16string(256, u'n');
  const auto list = BuildSourceList({longest, longest});
  ASSERT_TRUE(list.has_value());
  ASSERT_EQ(list->size(), 524u);
  EXPECT_EQ(std::u16string(list->data()), longest);
  EXPECT_EQ(std::u16string(list->data() + 260), longest);
  EXPECT_THAT(std::vector<char16_t>(list->end() - 4, list->end()), ElementsAre(0, 0, 0, 0));
}

struct BadEntryCase {
  const char* name;
  std::u16string entry;
};

class SourceListRefusal : public ::testing::TestWithParam<BadEntryCase> {};

TEST_P(SourceListRefusal, RefusesAnEntryThatWouldChangeTheList) {
  EXPECT_FALSE(BuildSourceList({u"D:\\a", GetParam().entry, u"D:\\c"}).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SourceListRefusal,
    ::testing::Values(BadEntryCase{"EmptyWouldEndTheListEarly", u""},
                      BadEntryCase{"ZeroInsideWouldAddAnItem", std::u16string(u"D:\\b\0C:\\Windows", 15)},
                      BadEntryCase{"LongerThan259WouldRunOver", u"D:\\" + std::u16string(257, u'n')}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo
