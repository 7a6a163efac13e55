#include "shellmenu/agent_protocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_agent_channel.h"
#include "tests/fakes/fake_environment.h"

namespace torvo {
namespace {

using fakes::FakeAgentChannel;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr WindowHandle kAgentWindow = 0x5150;
const fakes::FakeEnvironment kMachine = fakes::ExampleMachine();

// The agent beside the DLL, as the handler trusts it.
AgentLink Link(FakeAgentChannel& channel) {
  return AgentLink{channel, kMachine, u"D:\\Apps\\Vault\\zebtorvofloat.exe"};
}

TEST(AgentLookup, SearchesByClassAloneWithinASecond) {
  FakeAgentChannel channel;
  channel.window = kAgentWindow;
  EXPECT_EQ(FindAgentWindow(Link(channel)), kAgentWindow);
  ASSERT_EQ(channel.lookups.size(), 1u);
  EXPECT_EQ(channel.lookups[0].className, u"ZebTorvoFloat");
  EXPECT_TRUE(channel.lookups[0].windowNameNull);
  EXPECT_EQ(channel.lookups[0].timeoutMs, 1000u);
  EXPECT_THAT(channel.queries, IsEmpty());
}

TEST(AgentLookup, NoAgentWindowGivesNull) {
  FakeAgentChannel channel;
  EXPECT_EQ(FindAgentWindow(Link(channel)), 0u);
  EXPECT_EQ(channel.lookups.size(), 1u);
}

TEST(AgentLookup, LookupThatTimesOutIsNoAgentAndAsksNothing) {
  FakeAgentChannel channel;
  channel.window = kAgentWindow;
  channel.lookupTimesOut = true;
  EXPECT_EQ(FindAgentWindow(Link(channel)), 0u);
  EXPECT_EQ(QueryVaultDriveLetter(Link(channel)), 0);
  EXPECT_THAT(channel.queries, IsEmpty());
}

TEST(AgentLookup, EveryLookupSearchesAfresh) {
  FakeAgentChannel channel;
  channel.RunAgent(kAgentWindow, 1, u'X');
  EXPECT_EQ(QueryVaultDriveLetter(Link(channel)), u'X');
  channel.window = 0;  // the agent has ended
  EXPECT_EQ(QueryVaultDriveLetter(Link(channel)), 0);
  EXPECT_EQ(channel.lookups.size(), 2u);
  EXPECT_EQ(channel.queries.size(), 1u);
}

struct ReadyCase {
  const char* name;
  std::uint64_t answer;
  bool ready;
};

class AgentReadiness : public ::testing::TestWithParam<ReadyCase> {};

TEST_P(AgentReadiness, ReadsTheLow32BitsOfTheAnswerToOneEmptyQuery) {
  FakeAgentChannel channel;
  channel.RunAgent(kAgentWindow, GetParam().answer, 0);
  EXPECT_EQ(QueryAgentReady(channel, kAgentWindow), GetParam().ready);
  ASSERT_EQ(channel.queries.size(), 1u);
  const auto& query = channel.queries[0];
  EXPECT_EQ(query.window, kAgentWindow);
  EXPECT_EQ(query.record.dwData, 1004u);
  EXPECT_EQ(query.record.cbData, 0u);
  EXPECT_EQ(query.record.lpData, nullptr);
  EXPECT_THAT(channel.lookups, IsEmpty());  // the caller's window is used as it is
}

INSTANTIATE_TEST_SUITE_P(Answers, AgentReadiness,
                         ::testing::Values(ReadyCase{"Zero", 0, false}, ReadyCase{"One", 1, true},
                                           ReadyCase{"HighBitOfLowHalf", 0x80000000u, true},
                                           ReadyCase{"OnlyUpperBitsSet", 0xFFFFFFFF00000000u, false},
                                           ReadyCase{"UpperAndLowBitsSet", 0x0000000100000001u, true}),
                         fakes::CaseName());

TEST(AgentReadiness, WindowGoneBeforeTheQueryReadsAsNotReady) {
  FakeAgentChannel channel;
  channel.RunAgent(kAgentWindow, 1, u'X');
  channel.vanishesAfterLookup = true;
  const WindowHandle window = FindAgentWindow(Link(channel));
  EXPECT_FALSE(QueryAgentReady(channel, window));
}

struct LetterCase {
  const char* name;
  bool running;
  std::uint64_t answer;
  char16_t letter;
  std::u16string program = u"D:\\Apps\\Vault\\zebtorvofloat.exe";  // the window's
};

class VaultDriveLetter : public ::testing::TestWithParam<LetterCase> {};

TEST_P(VaultDriveLetter, ReadsTheLow16BitsOfTheAnswerTo1005) {
  const LetterCase& c = GetParam();
  FakeAgentChannel channel;
  if (c.running) channel.RunAgent(kAgentWindow, 0, c.answer);
  channel.windowProgram = c.program;
  EXPECT_EQ(QueryVaultDriveLetter(Link(channel)), c.letter);
  EXPECT_EQ(channel.lookups.size(), 1u);
  if (!c.running || (c.program != u"D:\\Apps\\Vault\\zebtorvofloat.exe" && c.letter == 0)) {
    EXPECT_THAT(channel.queries, IsEmpty());
    return;
  }
  ASSERT_EQ(channel.queries.size(), 1u);
  EXPECT_EQ(channel.queries[0].window, kAgentWindow);
  EXPECT_EQ(channel.queries[0].record.dwData, 1005u);
  EXPECT_EQ(channel.queries[0].record.cbData, 0u);
  EXPECT_EQ(channel.queries[0].record.lpData, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Answers, VaultDriveLetter,
                         ::testing::Values(LetterCase{"NoAgentSendsNothing", false, 0, 0},
                                           LetterCase{"UpperCaseX", true, 0x0058, u'X'},
                                           LetterCase{"LowerCaseStaysLower", true, 0x0078, u'x'},
                                           LetterCase{"UpperBitsIgnored", true, 0xFFFFFFFFABCD0058u, u'X'},
                                           LetterCase{"LowBitsZeroIsNoLetter", true, 0xABCD0000u, 0},
                                           LetterCase{"NotALetterIsNoLetter", true, 0x4E2D, 0},
                                           LetterCase{"BackslashIsNoLetter", true, u'\\', 0},
                                           LetterCase{"TheAgentsProgramSpelledOtherwise", true, u'X', u'X',
                                                      u"d:\\apps\\vault\\ZEBTORVOFLOAT.EXE"},
                                           LetterCase{"ImpostorInAnotherFolderIsNoAgent", true, u'X', 0,
                                                      u"D:\\Downloads\\zebtorvofloat.exe"},
                                           LetterCase{"ProgramThatCannotBeAskedIsNoAgent", true, u'X', 0, u""}),
                         fakes::CaseName());

// The DLL's folder may be known by its short name (the host loaded it by one): the real agent's
// window, whose program the platform names in long form, is still the agent's.
TEST(VaultDriveLetterOfAnAgentNamedByAShortPath, IsAnsweredByTheSameProgramInLongForm) {
  fakes::FakeEnvironment environment = fakes::ExampleMachine();
  environment.longNames[u"D:\\APPS~1\\Vault\\zebtorvofloat.exe"] = u"D:\\Apps\\Vault\\zebtorvofloat.exe";
  FakeAgentChannel channel;
  channel.RunAgent(kAgentWindow, 0, u'X');
  channel.windowProgram = u"D:\\Apps\\Vault\\zebtorvofloat.exe";
  EXPECT_EQ(QueryVaultDriveLetter(AgentLink{channel, environment, u"D:\\APPS~1\\Vault\\zebtorvofloat.exe"}), u'X');
  channel.windowProgram = u"D:\\Apps\\Other\\zebtorvofloat.exe";
  EXPECT_EQ(QueryVaultDriveLetter(AgentLink{channel, environment, u"D:\\APPS~1\\Vault\\zebtorvofloat.exe"}), 0);
}

struct RootCase {
  const char* name;
  char16_t letter;
  VaultRoot root;
};

class VaultRootText : public ::testing::TestWithParam<RootCase> {};

TEST_P(VaultRootText, IsFollowedByAtLeastTwoZeros) { EXPECT_EQ(BuildVaultRoot(GetParam().letter), GetParam().root); }

INSTANTIATE_TEST_SUITE_P(Letters, VaultRootText,
                         ::testing::Values(RootCase{"LetterX", u'X', {u'X', u':', u'\\', 0, 0}},
                                           RootCase{"LowerCaseLetter", u'x', {u'x', u':', u'\\', 0, 0}},
                                           RootCase{"NoLetter", 0, {u':', u'\\', 0, 0, 0}}),
                         fakes::CaseName());

}  // namespace
}  // namespace torvo
