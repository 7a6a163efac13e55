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

// UTF-16LE bytes of the text as it stands.
Bytes Utf16Le(const std::u16string& text) {
  Bytes bytes;
  for (char16_t unit : text)
    bytes.insert(bytes.end(), {static_cast<unsigned char>(unit), static_cast<unsigned char>(unit >> 8)});
  return bytes;
}

void Nothing(FakeHandlerPlatform&) {}

struct ListMoveCase {
  const char* name;
  std::vector<std::u16string> arguments;  // %LIST% stands for the list file's path
  std::optional<Bytes> list;              // none: there is no such file
  std::vector<std::u16string> existing;   // the listed items still there
  MoverExit exit;
  std::vector<std::u16string> moved;
  bool listKept;
  std::u16string agentParameters;  // empty: the agent is not started
  void (*inject)(FakeHandlerPlatform&) = Nothing;
};

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
  MoverPlatform platform{fake.tempFiles, fake.mover, fake.starter, fake.texts};

  EXPECT_EQ(RunListMove(arguments, platform), c.exit);
  ASSERT_EQ(fake.mover.operations.size(), c.moved.empty() ? 0u : 1u);
  if (!c.moved.empty()) {
    const auto& operation = fake.mover.operations[0];
    EXPECT_EQ(operation.from, c.moved);
    EXPECT_THAT(operation.toUnits, ElementsAre(u'X', u':', u'\\', 0, 0));
    EXPECT_EQ(operation.fFlags, 0x0300);  // the classic direct move's flags
    EXPECT_EQ(operation.title, kProgressTitle);
    EXPECT_FALSE(operation.onOwnThread);  // the process is the move's own
  }
  EXPECT_EQ(fake.tempFiles.files.count(kList) == 1, c.list && c.listKept);
  if (c.agentParameters.empty()) {
    EXPECT_THAT(fake.starter.starts, IsEmpty());
  } else {
    ASSERT_EQ(fake.starter.starts.size(), 1u);
    EXPECT_EQ(fake.starter.starts[0].file, u"D:\\Apps\\Vault\\zebtorvofloat.exe");
    EXPECT_EQ(fake.starter.starts[0].parameters, c.agentParameters);
  }
}

const std::vector<std::u16string> kRootAndList = {u"X:\\", u"%LIST%"};
const std::u16string kHandOff = u"/_loginmove \"" + std::u16string(kList) + u"\"";
const std::u16string kA = u"D:\\a.txt", kB = u"E:\\b \u6587\u4EF6";

INSTANTIATE_TEST_SUITE_P(
    Lists, ListMove,
    ::testing::Values(
        ListMoveCase{"WrittenListMovesEveryItem",
                     kRootAndList,
                     Written({kA, kB}),
                     {kA, kB},
                     MoverExit::kMoved,
                     {kA, kB},
                     false,
                     u""},
        ListMoveCase{"ItemsGoneSinceAreLeftOut",
                     kRootAndList,
                     Written({kA, kB}),
                     {kB},
                     MoverExit::kMovedExceptMissing,
                     {kB},
                     false,
                     u""},
        ListMoveCase{
            "NoListedItemLeft", kRootAndList, Written({kA, kB}), {}, MoverExit::kNoListedItemExists, {}, false, u""},
        ListMoveCase{"CancelledMoveIsReported",
                     kRootAndList,
                     Written({kA}),
                     {kA},
                     MoverExit::kMoveIncomplete,
                     {kA},
                     false,
                     u"",
                     [](FakeHandlerPlatform& f) { f.mover.userCancels = true; }},
        ListMoveCase{"VaultRootGoneHandsTheListToTheAgent",
                     {u"Q:\\", u"%LIST%"},
                     Written({kA}),
                     {kA},
                     MoverExit::kHandedToAgent,
                     {},
                     true,
                     kHandOff},
        ListMoveCase{"VaultRootGoneAndNoAgent",
                     {u"Q:\\", u"%LIST%"},
                     Written({kA}),
                     {kA},
                     MoverExit::kAgentNotStarted,
                     {},
                     true,
                     u"",
                     [](FakeHandlerPlatform& f) { f.starter.missingFiles = {u"D:\\Apps\\Vault\\zebtorvofloat.exe"}; }},
        ListMoveCase{"EmptyList", kRootAndList, Bytes{}, {}, MoverExit::kListEmpty, {}, true, u""},
        ListMoveCase{"OddByteCount", kRootAndList, Bytes{0x44, 0, 0x0A}, {}, MoverExit::kListMalformed, {}, true, u""},
        ListMoveCase{"ListCutInItsLastRecord",
                     kRootAndList,
                     Utf16Le(u"D:\\a.txt\nE:\\b"),
                     {kA},
                     MoverExit::kListMalformed,
                     {},
                     true,
                     u""},
        ListMoveCase{
            "EmptyRecord", kRootAndList, Utf16Le(u"D:\\a.txt\n\n"), {kA}, MoverExit::kListMalformed, {}, true, u""},
        ListMoveCase{"RecordTooLongToMoveWhole",
                     kRootAndList,
                     Utf16Le(u"D:\\" + std::u16string(257, u'n') + u"\n"),
                     {},
                     MoverExit::kListMalformed,
                     {},
                     true,
                     u""},
        ListMoveCase{"NoListFile", kRootAndList, std::nullopt, {}, MoverExit::kListUnreadable, {}, false, u""},
        ListMoveCase{"ListArgumentMissing", {u"X:\\"}, Written({kA}), {kA}, MoverExit::kBadArguments, {}, true, u""},
        ListMoveCase{"ExtraArgument",
                     {u"X:\\", u"%LIST%", u"/now"},
                     Written({kA}),
                     {kA},
                     MoverExit::kBadArguments,
                     {},
                     true,
                     u""},
        ListMoveCase{"RootWithoutItsBackslash",
                     {u"X:", u"%LIST%"},
                     Written({kA}),
                     {kA},
                     MoverExit::kBadArguments,
                     {},
                     true,
                     u""}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo::mover
