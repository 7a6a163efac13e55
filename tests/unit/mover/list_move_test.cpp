#include "tools/mover/list_move.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "shellmenu/move_list_file.h"
#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_handler_platform.h"

namespace torvo::mover {
namespace {

using fakes::FakeHandlerPlatform;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Bytes = std::vector<unsigned char>;
using enum MoverExit;

constexpr char16_t kList[] = u"C:\\Users\\ann\\AppData\\Local\\Temp\\m2m1A2B.tmp";
const std::u16string kProgressTitle =
    u"\u6B63\u5728\u628A\u6587\u4EF6\u79FB\u5165\u5230ZebTorvo\u5E76\u52A0\u5BC6\uFF0C\u8BF7\u7A0D\u5019 ...";

// The bytes the DLL's list writer gives for the paths.
Bytes Written(std::vector<std::u16string> paths) {
  fakes::FakeTempFiles files;
  HandlerState state;
  state.m_selection = std::move(paths);
  return files.files[WriteMoveListFile(state, files)].bytes;
}

void Nothing(FakeHandlerPlatform&) {}

const std::u16string kA = u"D:\\a.txt", kB = u"E:\\b \u6587\u4EF6";
const std::vector<std::u16string> kRootAndList = {u"X:\\", u"%LIST%"}, kRootGone = {u"Q:\\", u"%LIST%"};
const Bytes kOne = Written({kA}), kTwo = Written({kA, kB});

// Bytes cut short by `count` at their end.
Bytes Cut(Bytes bytes, std::size_t count) {
  bytes.resize(bytes.size() - count);
  return bytes;
}

struct ListMoveCase {
  const char* name;
  std::optional<Bytes> list;             // none: there is no such file
  std::vector<std::u16string> existing;  // the listed items still there
  MoverExit exit;                        // kHandedToAgent: the agent got the list file
  std::vector<std::u16string> moved;
  bool listKept;
  std::vector<std::u16string> arguments = kRootAndList;  // %LIST% stands for the list file's path
  void (*inject)(FakeHandlerPlatform&) = Nothing;
  std::uint16_t flags = 0x0301;  // the classic direct move's flags
  std::size_t cannotFindMessages = 0;
};

const std::vector<std::u16string> kNoUi = {u"/noui", u"X:\\", u"%LIST%"},
                                  kNoUiRootGone = {u"/noui", u"Q:\\", u"%LIST%"};
constexpr std::uint16_t kNoUiFlags = 0x0301 | 0x0004 | 0x0008 | 0x0010 | 0x0400;  // silent, renaming, no questions

void NoAgent(FakeHandlerPlatform& fake) { fake.starter.missingFiles = {u"D:\\Apps\\Vault\\zebtorvofloat.exe"}; }

// The vault holds D:\a.txt's name and every numbered name up to 9999.
void EveryNameTaken(FakeHandlerPlatform& fake) {
  const std::vector<std::u16string> taken = fakes::NumberedSeries(u"X:\\", u"a", u".txt", 9999);
  fake.mover.existing.insert(fake.mover.existing.end(), taken.begin(), taken.end());
}

class ListMove : public ::testing::TestWithParam<ListMoveCase> {};

TEST_P(ListMove, MovesWhatTheListAsksOrSaysWhyNot) {
  const ListMoveCase& c = GetParam();
  FakeHandlerPlatform fake;
  fake.starter.modulePath = u"D:\\Apps\\Vault\\torvo-move.exe";
  if (c.list) fake.tempFiles.files[kList].bytes = *c.list;
  fake.mover.existing.insert(fake.mover.existing.end(), c.existing.begin(), c.existing.end());
  c.inject(fake);
  std::vector<std::u16string> arguments = c.arguments;
  for (std::u16string& argument : arguments) {
    if (argument == u"%LIST%") argument = kList;
  }
  MoverPlatform platform{fake.tempFiles, fake.mover, fake.starter, fake.texts, fake.environment};

  EXPECT_EQ(RunListMove(arguments, platform), c.exit);
  ASSERT_EQ(fake.mover.operations.size(), c.moved.empty() ? 0u : 1u);
  if (!c.moved.empty()) {
    const auto& operation = fake.mover.operations[0];
    EXPECT_EQ(operation.from, c.moved);
    EXPECT_EQ(operation.toUnits[0], u'X');
    EXPECT_EQ(operation.fFlags, c.flags);
    EXPECT_EQ(operation.title, kProgressTitle);
    EXPECT_FALSE(operation.onOwnThread);  // the process is the move's own
  }
  EXPECT_EQ(fake.tempFiles.files.count(kList) == 1, c.list && c.listKept);
  EXPECT_EQ(fake.starter.cannotFindMessages.size(), c.cannotFindMessages);
  ASSERT_EQ(fake.starter.starts.size(), c.exit == kHandedToAgent ? 1u : 0u);
  if (c.exit == kHandedToAgent) {
    EXPECT_EQ(fake.starter.starts[0].file, u"D:\\Apps\\Vault\\zebtorvofloat.exe");
    EXPECT_EQ(fake.starter.starts[0].parameters, u"/_loginmove \"" + std::u16string(kList) + u"\"");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ListMove,
    ::testing::Values(
        ListMoveCase{"WrittenListMovesEveryItem", kTwo, {kA, kB}, kMoved, {kA, kB}, false},
        ListMoveCase{"ItemsGoneSinceAreLeftOut", kTwo, {kB}, kMovedExceptMissing, {kB}, false},
        ListMoveCase{
            "OneItemInTwoSpellingsMovesOnce", Written({kA, u"d:\\A.TXT"}), {kA, u"d:\\A.TXT"}, kMoved, {kA}, false},
        ListMoveCase{"NoListedItemLeft", kTwo, {}, kNoListedItemExists, {}, false},
        ListMoveCase{"CancelledMoveIsReported",
                     kOne,
                     {kA},
                     kMoveIncomplete,
                     {kA},
                     false,
                     kRootAndList,
                     [](FakeHandlerPlatform& f) { f.mover.userCancels = true; }},
        ListMoveCase{"ItemsStillThereAfterASuccessKeepTheList",
                     kOne,
                     {kA},
                     kItemsStayed,
                     {kA},
                     true,
                     kRootAndList,
                     [](FakeHandlerPlatform& f) { f.mover.sourcesStay = true; }},
        ListMoveCase{"VaultRootGoneHandsTheListToTheAgent", kOne, {kA}, kHandedToAgent, {}, true, kRootGone},
        ListMoveCase{"VaultRootGoneAndNoAgent", kOne, {kA}, kAgentNotStarted, {}, true, kRootGone, NoAgent, 0x0301, 1},
        ListMoveCase{
            "NoUiMovesSilentlyRenamingWhatIsTakenByThen", kOne, {kA}, kMoved, {kA}, false, kNoUi, Nothing, kNoUiFlags},
        ListMoveCase{"NoUiStartsNoAgentThatIsNotThere", kOne, {kA}, kAgentNotStarted, {}, true, kNoUiRootGone, NoAgent},
        ListMoveCase{
            "EveryNumberedNameTakenMovesNothing", kOne, {kA}, kNoFreeName, {}, true, kRootAndList, EveryNameTaken},
        ListMoveCase{"NoUiAfterTheRootIsNoSwitch", kOne, {kA}, kBadArguments, {}, true, {u"X:\\", u"%LIST%", u"/noui"}},
        ListMoveCase{"EmptyList", Bytes{}, {}, kListEmpty, {}, true},
        ListMoveCase{"OddByteCount", Cut(kOne, 1), {kA}, kListMalformed, {}, true},
        ListMoveCase{"ListCutInItsLastRecord", Cut(kTwo, 4), {kA}, kListMalformed, {}, true},
        ListMoveCase{"EmptyRecord", Written({kA, u""}), {kA}, kListMalformed, {}, true},
        ListMoveCase{
            "RecordTooLongToMoveWhole", Written({u"D:\\" + std::u16string(257, u'n')}), {}, kListMalformed, {}, true},
        ListMoveCase{"WildcardRecordIsNoPathToMove", Written({u"D:\\data\\?.doc"}), {}, kListMalformed, {}, true},
        ListMoveCase{"NoListFile", std::nullopt, {}, kListUnreadable, {}, false},
        ListMoveCase{"ListArgumentMissing", kOne, {kA}, kBadArguments, {}, true, {u"X:\\"}},
        ListMoveCase{"ExtraArgument", kOne, {kA}, kBadArguments, {}, true, {u"X:\\", u"%LIST%", u"/now"}},
        ListMoveCase{"RootWithoutItsBackslash", kOne, {kA}, kBadArguments, {}, true, {u"X:", u"%LIST%"}}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo::mover
