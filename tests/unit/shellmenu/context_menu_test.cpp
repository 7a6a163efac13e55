#include "shellmenu/context_menu.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/com_boundary.h"
#include "shellmenu/selection.h"
#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_drop_files.h"
#include "tests/fakes/fake_handler_platform.h"

namespace torvo {
namespace {

using fakes::AnsiCodePage;
using fakes::FakeHandlerPlatform;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr WindowHandle kAgentWindow = 0x5150;
constexpr MenuHandle kMenu = 0x3E0;
constexpr BitmapHandle kBitmap = 0xB17;
const std::u16string kMenuText = u"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6";
const std::u16string kHelpText = kMenuText;
// The help text in UTF-8: three bytes for each Chinese character.
const std::string kHelpTextUtf8 = "\xE7\xA7\xBB\xE5\x8A\xA8\xE5\x88\xB0 ZebTorvo \xE5\x8A\xA0\xE5\xAF\x86";

HandlerState LastItemIs(const std::u16string& path) {
  HandlerState state;
  state.m_selection = {path};
  std::copy(path.begin(), path.end(), state.lastItemPath);
  state.menuBitmap = kBitmap;
  return state;
}

// ---- QueryContextMenu ----

struct FlagsCase {
  const char* name;
  std::uint32_t uFlags;
  HResult result;
};

class QueryContextMenuFlags : public ::testing::TestWithParam<FlagsCase> {};

TEST_P(QueryContextMenuFlags, DefaultOnlyAndVerbsOnlyAddNothingAndAskNoAgent) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  const HResult result =
      QueryContextMenu(LastItemIs(u"D:\\data\\a.txt"), fake.platform, kMenu, 0, 100, 200, GetParam().uFlags);
  EXPECT_EQ(result, GetParam().result);
  EXPECT_EQ(fake.menu.insertions.size(), result == 1 ? 1u : 0u);
  EXPECT_EQ(fake.agent.lookups.size(), result == 1 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Flags, QueryContextMenuFlags,
                         ::testing::Values(FlagsCase{"Normal", 0x0, 1}, FlagsCase{"Explore", 0x4, 1},
                                           FlagsCase{"OtherBitsAreNotLookedAt", 0x1F0, 1},
                                           FlagsCase{"DefaultOnly", 0x1, kOk}, FlagsCase{"VerbsOnly", 0x2, kOk},
                                           FlagsCase{"DefaultOnlyWithExplore", 0x5, kOk},
                                           FlagsCase{"BothRefusingBits", 0x3, kOk}),
                         fakes::CaseName());

TEST(QueryContextMenu, NullMenuIsRefusedBeforeTheAgentIsAsked) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, 0, 0, 100, 200, 0), kInvalidArg);
  EXPECT_THAT(fake.journal, IsEmpty());
  // The refusing flags are looked at first.
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, 0, 0, 100, 200, 0x1), kOk);
}

struct DecisionCase {
  const char* name;
  std::optional<std::uint64_t> letterAnswer;  // none: no agent runs
  std::u16string lastItem;
  bool offered;
};

class QueryContextMenuDecision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(QueryContextMenuDecision, LeavesOutTheVaultDriveAndProtectedPlaces) {
  const DecisionCase& c = GetParam();
  FakeHandlerPlatform fake;
  if (c.letterAnswer) fake.agent.RunAgent(kAgentWindow, 1, *c.letterAnswer);
  const HResult result = QueryContextMenu(LastItemIs(c.lastItem), fake.platform, kMenu, 0, 100, 200, 0);
  EXPECT_EQ(result, c.offered ? 1 : kOk);
  EXPECT_EQ(fake.menu.insertions.size(), c.offered ? 1u : 0u);
  EXPECT_EQ(fake.menu.images.size(), c.offered ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(LastItems, QueryContextMenuDecision,
                         ::testing::Values(DecisionCase{"OnTheVaultDrive", 0x58, u"X:\\docs\\a.txt", false},
                                           DecisionCase{"VaultLetterInOtherCase", 0x58, u"x:\\docs\\a.txt", false},
                                           DecisionCase{"LowerCaseLetterFromTheAgent", u'x', u"X:\\docs\\a.txt", false},
                                           DecisionCase{"OtherDrive", 0x58, u"D:\\a.txt", true},
                                           DecisionCase{"LetterInTheLowBitsOfTheAnswer", 0xABCD0058u, u"X:\\a.txt",
                                                        false},
                                           DecisionCase{"NoAgentRunning", std::nullopt, u"D:\\data\\a.txt", true},
                                           DecisionCase{"AgentWithoutLetter", 0, u"D:\\data\\a.txt", true},
                                           DecisionCase{"ProtectedWindowsFolder", 0x58, u"D:\\Windows", false},
                                           DecisionCase{"ProtectedDriveRootWithoutAgent", std::nullopt, u"E:\\", false},
                                           DecisionCase{"InsideTheProfileIsOffered", std::nullopt,
                                                        u"D:\\Users\\ann\\Documents\\a.txt", true}),
                         fakes::CaseName());

TEST(QueryContextMenu, EverySelectedItemDecidesWithOneLookupAndOneExpansionOfTheRows) {
  const auto decide = [](std::vector<std::u16string> items) {
    FakeHandlerPlatform fake;
    fake.agent.RunAgent(kAgentWindow, 1, u'X');
    fakes::FakeDropFiles drop(std::move(items));
    HandlerState state;
    EXPECT_EQ(CaptureSelection(&drop, state), kOk);
    const HResult result = QueryContextMenu(state, fake.platform, kMenu, 0, 100, 200, 0);
    EXPECT_LE(fake.agent.lookups.size(), 1u);
    EXPECT_LE(fake.environment.expansions, 49);
    return result;
  };
  EXPECT_EQ(decide({u"D:\\data\\a.txt", u"D:\\Windows"}), kOk);
  EXPECT_EQ(decide({u"D:\\Users\\Public", u"E:\\a.txt"}), kOk);
  EXPECT_EQ(decide({u"X:\\in-the-vault.txt", u"E:\\a.txt", u"E:\\b.txt"}), kOk);
  EXPECT_EQ(decide(std::vector<std::u16string>(1000, u"E:\\a.txt")), 1);
  // An item the move cannot take as it stands would stay behind while the user believes it moved:
  // the whole selection gets no item, and so does a selection of which nothing was captured.
  EXPECT_EQ(decide({u"E:\\a.txt", u"D:\\data\\" + std::u16string(300, u'x')}), kOk);
  EXPECT_EQ(decide({u"E:\\a.txt", u"D:\\data\\?.doc"}), kOk);
  EXPECT_EQ(decide({u"E:\\*"}), kOk);
  EXPECT_EQ(decide({u"D:\\data\\" + std::u16string(300, u'x')}), kOk);
}

// Windows 11's Explorer shows the registered package's command on this menu already.
TEST(QueryContextMenu, ThePackagesCommandOnTheMenuLeavesTheItemOutWithoutAskingTheAgent) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  fake.menu.packagedCommand = true;
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, kMenu, 0, 100, 200, 0), kOk);
  EXPECT_THAT(fake.journal, IsEmpty());
}

TEST(QueryContextMenu, NoIdentifierLeftInsertsNothing) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, kMenu, 7, 0x7000, 0x6FFF, 0), kOk);
  EXPECT_THAT(fake.journal, IsEmpty());
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, kMenu, 7, 0x7000, 0x7000, 0), 1);
}

TEST(QueryContextMenu, InsertsAtTheShellsPositionWithTheFirstIdentifier) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, kMenu, 7, 0x7000, 0x7FFF, 0), 1);
  ASSERT_EQ(fake.menu.insertions.size(), 1u);
  const auto& item = fake.menu.insertions[0];
  EXPECT_EQ(item.menu, kMenu);
  EXPECT_EQ(item.position, 7u);
  EXPECT_EQ(item.flags, 0x400u);  // by position, a text item
  EXPECT_EQ(item.id, 0x7000u);
  EXPECT_EQ(item.text, kMenuText);
  ASSERT_EQ(fake.menu.images.size(), 1u);
  const auto& images = fake.menu.images[0];
  EXPECT_EQ(images.menu, kMenu);
  EXPECT_EQ(images.position, 7u);
  EXPECT_EQ(images.flags, 0x400u);
  EXPECT_EQ(images.image, kBitmap);
  EXPECT_THAT(fake.journal, ElementsAre("module path", "find", "send 1005", "insert", "bitmaps"));
}

TEST(QueryContextMenu, MissingBitmapAndTextAreUsedAsTheyAre) {
  FakeHandlerPlatform fake;
  fake.texts.texts.erase(IDS_MENU_TEXT);
  HandlerState state = LastItemIs(u"D:\\a.txt");
  state.menuBitmap = 0;
  EXPECT_EQ(QueryContextMenu(state, fake.platform, kMenu, 0, 100, 200, 0), 1);
  ASSERT_EQ(fake.menu.insertions.size(), 1u);
  EXPECT_EQ(fake.menu.insertions[0].text, u"");
  EXPECT_EQ(fake.menu.images[0].image, 0u);
}

TEST(QueryContextMenu, EveryCallAsksTheAgentAgain) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  const HandlerState state = LastItemIs(u"X:\\a.txt");
  EXPECT_EQ(QueryContextMenu(state, fake.platform, kMenu, 0, 100, 200, 0), kOk);
  fake.agent.window = 0;  // the agent has ended: its drive no longer leaves the item out
  EXPECT_EQ(QueryContextMenu(state, fake.platform, kMenu, 0, 100, 200, 0), 1);
  EXPECT_EQ(fake.agent.lookups.size(), 2u);
}

TEST(QueryContextMenu, MemoryRunningOutDoesNotEscape) {
  FakeHandlerPlatform fake;
  fake.texts.loadThrowsBadAlloc = true;
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, kMenu, 0, 100, 200, 0), kOutOfMemory);
  fake.texts.loadThrowsBadAlloc = false;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  fake.agent.sendThrowsBadAlloc = true;
  EXPECT_EQ(QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, kMenu, 0, 100, 200, 0), kOutOfMemory);
  EXPECT_THAT(fake.menu.insertions, IsEmpty());
}

// ---- GetCommandString ----

constexpr unsigned char kUntouched = 0xCC;

// A caller's buffer of 64 wide units (128 bytes), filled with a pattern that shows what was written.
struct CallerBuffer {
  CallerBuffer() { bytes.fill(static_cast<char>(kUntouched)); }
  char* data() { return bytes.data(); }
  bool Untouched() const {
    return std::all_of(bytes.begin(), bytes.end(), [](char b) { return static_cast<unsigned char>(b) == kUntouched; });
  }
  bool UntouchedFrom(std::size_t offset) const {
    return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end(),
                       [](char b) { return static_cast<unsigned char>(b) == kUntouched; });
  }
  std::u16string Wide() const {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      char16_t unit;
      std::memcpy(&unit, bytes.data() + i, sizeof unit);
      if (unit == 0) return text;
      text += unit;
    }
    return u"<no terminator>";
  }
  std::string Ansi() const {
    const auto end = std::find(bytes.begin(), bytes.end(), '\0');
    return end == bytes.end() ? "<no terminator>" : std::string(bytes.begin(), end);
  }
  std::array<char, 128> bytes;
};

enum class Written { kNothing, kAnsi, kWide, kVerbAnsi, kVerbWide };

struct RequestCase {
  const char* name;
  std::uint32_t uType;
  HResult result;
  Written written;
};

class CommandStringRequests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(CommandStringRequests, AnswerTheHelpTextInTheRequestedForm) {
  const RequestCase& c = GetParam();
  FakeHandlerPlatform fake;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, c.uType, buffer.data(), 64), c.result);
  switch (c.written) {
    case Written::kNothing:
      EXPECT_TRUE(buffer.Untouched());
      break;
    case Written::kAnsi:
      EXPECT_EQ(buffer.Ansi(), fakes::EncodeAnsi(kHelpText, AnsiCodePage::kDoubleByte));
      break;
    case Written::kWide:
      EXPECT_EQ(buffer.Wide(), kHelpText);
      break;
    case Written::kVerbAnsi:
      EXPECT_EQ(buffer.Ansi(), "ZebTorvoMove");
      break;
    case Written::kVerbWide:
      EXPECT_EQ(buffer.Wide(), u"ZebTorvoMove");
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(Types, CommandStringRequests,
                         ::testing::Values(RequestCase{"VerbA", 0, kOk, Written::kVerbAnsi},
                                           RequestCase{"HelpTextA", 1, kOk, Written::kAnsi},
                                           RequestCase{"ValidateA", 2, kInvalidArg, Written::kNothing},
                                           RequestCase{"Type3", 3, kOk, Written::kAnsi},
                                           RequestCase{"VerbW", 4, kOk, Written::kVerbWide},
                                           RequestCase{"HelpTextW", 5, kOk, Written::kWide},
                                           RequestCase{"ValidateW", 6, kOk, Written::kWide},
                                           RequestCase{"Type7", 7, kOk, Written::kWide},
                                           RequestCase{"HigherBitsWithVerbA", 0xF8, kOk, Written::kVerbAnsi},
                                           RequestCase{"HigherBitsWithHelpTextA", 0xF1, kOk, Written::kAnsi},
                                           RequestCase{"HigherBitsWithHelpTextW", 0xF5, kOk, Written::kWide}),
                         fakes::CaseName());

TEST(GetCommandString, OtherCommandIsRefusedWithNothingWritten) {
  FakeHandlerPlatform fake;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 1, 5, buffer.data(), 64), kInvalidArg);
  EXPECT_TRUE(buffer.Untouched());
}

TEST(GetCommandString, WideTextIsCutToTheCallersCount) {
  FakeHandlerPlatform fake;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 5, buffer.data(), 4), kOk);
  EXPECT_EQ(buffer.Wide(), kHelpText.substr(0, 3));
  EXPECT_TRUE(buffer.UntouchedFrom(8));
}

TEST(GetCommandString, AnsiTextIsCutToTheCallersCount) {
  FakeHandlerPlatform fake;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 1, buffer.data(), 5), kOk);
  EXPECT_EQ(buffer.Ansi(), fakes::EncodeAnsi(kHelpText, AnsiCodePage::kDoubleByte).substr(0, 4));
  EXPECT_TRUE(buffer.UntouchedFrom(5));
}

TEST(GetCommandString, CountZeroWritesNothing) {
  FakeHandlerPlatform fake;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 6, buffer.data(), 0), kOk);
  EXPECT_EQ(GetCommandString(fake.platform, 0, 1, buffer.data(), 0), kOk);
  EXPECT_TRUE(buffer.Untouched());
}

TEST(GetCommandString, AnsiTextConvertsWhereTheCodePageIsUtf8) {
  FakeHandlerPlatform fake;
  fake.texts.page = AnsiCodePage::kUtf8;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 1, buffer.data(), 64), kOk);
  EXPECT_EQ(buffer.Ansi(), kHelpTextUtf8);
}

TEST(GetCommandString, Utf8TextLongerThanTwoBytesPerUnitIsWrittenWhole) {
  FakeHandlerPlatform fake;
  fake.texts.page = AnsiCodePage::kUtf8;
  fake.texts.texts[IDS_HELP_TEXT] = u"\u79FB\u52A8\u5230\u52A0\u5BC6";  // 16 bytes with the zero, for 6 units
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 1, buffer.data(), 64), kOk);
  EXPECT_EQ(buffer.Ansi(), "\xE7\xA7\xBB\xE5\x8A\xA8\xE5\x88\xB0\xE5\x8A\xA0\xE5\xAF\x86");
}

TEST(GetCommandString, FailedConversionWritesNothingAndReportsFailure) {
  FakeHandlerPlatform fake;
  fake.texts.conversionFails = true;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 1, buffer.data(), 64), kFail);
  EXPECT_TRUE(buffer.Untouched());
}

TEST(GetCommandString, MissingHelpTextIsAnsweredEmpty) {
  FakeHandlerPlatform fake;
  fake.texts.texts.erase(IDS_HELP_TEXT);
  CallerBuffer wide;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 5, wide.data(), 64), kOk);
  EXPECT_EQ(wide.Wide(), u"");
  CallerBuffer ansi;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 1, ansi.data(), 64), kOk);
  EXPECT_EQ(ansi.Ansi(), "");
}

TEST(GetCommandString, NullBufferWithACountIsRefusedUntouched) {
  FakeHandlerPlatform fake;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 5, nullptr, 10), kInvalidArg);
  EXPECT_EQ(GetCommandString(fake.platform, 0, 1, nullptr, 10), kInvalidArg);
  EXPECT_THAT(fake.texts.loads, IsEmpty());
  EXPECT_EQ(GetCommandString(fake.platform, 0, 5, nullptr, 0), kOk);  // nothing to write
}

TEST(GetCommandString, MemoryRunningOutDoesNotEscape) {
  FakeHandlerPlatform fake;
  fake.texts.loadThrowsBadAlloc = true;
  CallerBuffer buffer;
  EXPECT_EQ(GetCommandString(fake.platform, 0, 5, buffer.data(), 64), kOutOfMemory);
  EXPECT_TRUE(buffer.Untouched());
}

// ---- InvokeCommand ----

struct VerbCase {
  const char* name;
  std::uintptr_t lpVerb;
  HResult result;
  const char16_t* lpVerbW = nullptr;
};

class InvokeCommandVerbs : public ::testing::TestWithParam<VerbCase> {};

TEST_P(InvokeCommandVerbs, OnlyOffsetZeroOrTheVerbRunsTheDispatch) {
  FakeHandlerPlatform fake;  // no agent: the dispatch starts it
  const InvokeCommandRecord record{GetParam().lpVerb, GetParam().lpVerbW};
  EXPECT_EQ(InvokeCommand(LastItemIs(u"D:\\a.txt"), fake.platform, &record), GetParam().result);
  EXPECT_EQ(fake.starter.starts.size(), GetParam().result == kOk ? 1u : 0u);
  if (GetParam().result != kOk) {
    EXPECT_THAT(fake.journal, IsEmpty());
  }
}

std::uintptr_t Named(const char* verb) { return reinterpret_cast<std::uintptr_t>(verb); }

INSTANTIATE_TEST_SUITE_P(Verbs, InvokeCommandVerbs,
                         ::testing::Values(VerbCase{"OffsetZero", 0, kOk}, VerbCase{"OffsetOne", 1, kInvalidArg},
                                           VerbCase{"LargestOffset", 0xFFFF, kInvalidArg},
                                           VerbCase{"TheVerbByName", Named("ZebTorvoMove"), kOk},
                                           VerbCase{"TheVerbInOtherCase", Named("zebtorvomove"), kOk},
                                           VerbCase{"AnotherVerb", Named("open"), kInvalidArg},
                                           VerbCase{"EmptyVerb", Named(""), kInvalidArg},
                                           VerbCase{"BeginningOfTheVerb", Named("ZebTorvo"), kInvalidArg},
                                           VerbCase{"EmptyUnicodeVerb", 0, kInvalidArg, u""},
                                           VerbCase{"BeginningOfTheUnicodeVerb", 0, kInvalidArg, u"zebtorvomov"},
                                           VerbCase{"TheVerbAsUnicode", Named("open"), kOk, u"ZEBTORVOMOVE"},
                                           VerbCase{"AnotherUnicodeVerb", 0, kInvalidArg, u"ZebTorvoMoveNow"}),
                         fakes::CaseName());

// CMIC_MASK_NOASYNC: done on return, on the caller's thread; CMIC_MASK_FLAG_NO_UI: nothing asks or
// replaces; the caller's window owns the progress window.
// Each bit on its own: a caller may want no dialog while the move runs in the background, or wait
// for a move that may ask.
TEST(InvokeCommand, TheCallersFlagsAndWindowReachTheMove) {
  for (const std::uint32_t mask : {0u, kCmicMaskNoAsync, kCmicMaskFlagNoUi, kCmicMaskNoAsync | kCmicMaskFlagNoUi}) {
    FakeHandlerPlatform fake;
    fake.agent.RunAgent(kAgentWindow, 1, u'X');
    const InvokeCommandRecord record{0, nullptr, mask, 0x7E57};
    EXPECT_EQ(InvokeCommand(LastItemIs(u"D:\\a.txt"), fake.platform, &record), kOk);
    ASSERT_EQ(fake.mover.operations.size(), 1u);
    EXPECT_EQ(fake.mover.operations[0].onOwnThread, (mask & kCmicMaskNoAsync) == 0) << mask;
    EXPECT_EQ(fake.mover.operations[0].fFlags, (mask & kCmicMaskFlagNoUi) == 0 ? 0x0301 : 0x0301 | 0x041C) << mask;
    EXPECT_EQ(fake.mover.operations[0].hwnd, 0x7E57u);
  }
}

TEST(InvokeCommand, NullRecordIsRefusedWithNothingDone) {
  FakeHandlerPlatform fake;
  EXPECT_EQ(InvokeCommand(LastItemIs(u"D:\\a.txt"), fake.platform, nullptr), kInvalidArg);
  EXPECT_THAT(fake.journal, IsEmpty());
}

TEST(InvokeCommand, ReadyAgentGetsTheSelectionMovedAndTheDispatchResultIsNotPassedOn) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'Q');  // Q: does not exist: the move fails
  const InvokeCommandRecord record{0};
  EXPECT_EQ(InvokeCommand(LastItemIs(u"D:\\a.txt"), fake.platform, &record), kOk);
  // The menu's decision first (1005), then the dispatch (1004) and the move (1005).
  EXPECT_THAT(fake.agent.QueryIds(), ElementsAre(1005u, 1004u, 1005u));
  EXPECT_THAT(fake.mover.existenceTests, ElementsAre(u"Q:\\"));
}

TEST(InvokeCommand, MemoryRunningOutDoesNotEscape) {
  FakeHandlerPlatform fake;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  fake.agent.sendThrowsBadAlloc = true;
  const InvokeCommandRecord record{0};
  EXPECT_EQ(InvokeCommand(LastItemIs(u"D:\\a.txt"), fake.platform, &record), kOk);
}

}  // namespace
}  // namespace torvo

namespace torvo {
namespace {

// An exception other than memory exhaustion from a platform call inside a shell call comes back
// from the COM boundary's guard as E_UNEXPECTED (memory exhaustion is proven above and by the
// out-of-memory sweep).
TEST(ComBoundary, AnyOtherExceptionFromAPlatformCallComesBackAsUnexpected) {
  FakeHandlerPlatform fake;
  fake.texts.loadThrowsLengthError = true;
  fake.agent.RunAgent(kAgentWindow, 1, u'X');
  std::array<char, 64> buffer{};
  const InvokeCommandRecord record{0};
  EXPECT_EQ(
      AtComBoundary([&] { return QueryContextMenu(LastItemIs(u"D:\\a.txt"), fake.platform, kMenu, 0, 100, 200, 0); }),
      kUnexpected);
  EXPECT_EQ(AtComBoundary([&] { return GetCommandString(fake.platform, 0, 5, buffer.data(), 64); }), kUnexpected);
  EXPECT_EQ(AtComBoundary([&] { return InvokeCommand(LastItemIs(u"D:\\a.txt"), fake.platform, &record); }),
            kUnexpected);
}

}  // namespace
}  // namespace torvo
