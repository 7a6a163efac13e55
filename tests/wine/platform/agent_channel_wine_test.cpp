// The agent channel against the stand-in agent in a process of its own: lookup by class on a
// worker thread bounded in time, the two WM_COPYDATA questions with their full 64-bit answers, and
// a hung agent.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_agent_channel.h"
#include "platform/win32/win32_environment.h"
#include "shellmenu/agent_protocol.h"
#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"

namespace torvo {
namespace {

using wine::AgentProcess;

class AgentChannelUnderWine : public ::testing::Test {
 protected:
  void SetUp() override { wine::CloseAllAgents(); }
  void TearDown() override { wine::CloseAllAgents(); }

  std::uint64_t Ask(HWND window, std::uintptr_t id) {
    return channel.SendCopyData(reinterpret_cast<WindowHandle>(window), CopyDataRecord{id, 0, nullptr});
  }

  win32::Win32AgentChannel channel;
  win32::Win32Environment environment;
  const AgentLink link{channel, environment, win32::AsUtf16(wine::AgentProgramPath().c_str())};
};

// While another module's entry point blocks the start of new threads (as a module whose thread
// notification waits on the shell's window would), the lookup gives up after its bound, and the
// worker that finishes late harms nothing.
TEST_F(AgentChannelUnderWine, ALookupWhoseWorkerCannotStartAnswersNoWindowWithinTheBound) {
  const wine::ProductAgentBound bound;
  AgentProcess agent;
  ASSERT_NE(agent.Window(), nullptr);
  const win32::UniqueLibrary probe(::LoadLibraryW(L"thread_start_probe.dll"));
  ASSERT_TRUE(probe);
  using HoldFn = void(__cdecl*)(HANDLE);
  const auto holdNextThreadStart =
      reinterpret_cast<HoldFn>(reinterpret_cast<void*>(::GetProcAddress(probe.Get(), "HoldNextThreadStart")));
  ASSERT_NE(holdNextThreadStart, nullptr);
  const win32::UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  holdNextThreadStart(release.Get());

  // It answers while the worker is still held: the lookup did not wait for it.
  EXPECT_EQ(channel.FindTopLevelWindow(kAgentWindowClass, nullptr, 1000), 0u);

  ::SetEvent(release.Get());  // the late worker now runs to its end on its own
  EXPECT_EQ(channel.FindTopLevelWindow(kAgentWindowClass, nullptr, 1000),
            reinterpret_cast<WindowHandle>(agent.Window()));
}

TEST_F(AgentChannelUnderWine, NoAgentMeansNoWindowAndNoLetter) {
  EXPECT_EQ(channel.FindTopLevelWindow(kAgentWindowClass, nullptr, 1000), 0u);
  EXPECT_EQ(FindAgentWindow(link), 0u);
  EXPECT_EQ(QueryVaultDriveLetter(link), 0);
}

TEST_F(AgentChannelUnderWine, TheAgentsWindowIsFoundByClassFromAnotherProcess) {
  AgentProcess agent;
  ASSERT_NE(agent.Window(), nullptr) << "the agent's window did not appear";
  EXPECT_EQ(channel.FindTopLevelWindow(kAgentWindowClass, nullptr, 1000),
            reinterpret_cast<WindowHandle>(agent.Window()));
  EXPECT_EQ(FindAgentWindow(link), reinterpret_cast<WindowHandle>(agent.Window()));
  agent.Stop();
  EXPECT_EQ(FindAgentWindow(link), 0u);
}

TEST_F(AgentChannelUnderWine, AQueryToAVanishedWindowReadsAsZero) {
  AgentProcess agent(L"/ready:7");
  ASSERT_NE(agent.Window(), nullptr);
  const HWND window = agent.Window();
  EXPECT_EQ(Ask(window, AGENT_QUERY_READY), 7u);
  agent.Stop();
  EXPECT_EQ(Ask(window, AGENT_QUERY_READY), 0u);
  EXPECT_FALSE(QueryAgentReady(channel, reinterpret_cast<WindowHandle>(window)));
}

// One agent started with given answers, asked both questions through the channel and through
// the protocol's readings of them.
struct AnswerRow {
  std::string name;
  std::wstring arguments;
  std::uint64_t ready;  // the raw answer to 1004
  std::uint64_t drive;  // the raw answer to 1005
  bool readyRead;       // QueryAgentReady
  char16_t letterRead;  // QueryVaultDriveLetter
};

class AgentAnswersUnderWine : public AgentChannelUnderWine, public ::testing::WithParamInterface<AnswerRow> {};

TEST_P(AgentAnswersUnderWine, BothQuestionsArriveWithTheirWholeAnswers) {
  const AnswerRow& row = GetParam();
  AgentProcess agent(row.arguments);
  ASSERT_NE(agent.Window(), nullptr);
  EXPECT_EQ(Ask(agent.Window(), AGENT_QUERY_READY), row.ready);
  EXPECT_EQ(Ask(agent.Window(), AGENT_QUERY_DRIVE_LETTER), row.drive);
  EXPECT_EQ(Ask(agent.Window(), 1006), 0u) << "no other question has an answer";
  EXPECT_EQ(QueryAgentReady(channel, reinterpret_cast<WindowHandle>(agent.Window())), row.readyRead);
  EXPECT_EQ(QueryVaultDriveLetter(link), row.letterRead);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AgentAnswersUnderWine,
    ::testing::Values(AnswerRow{"DefaultAgentIsReadyOnX", L"", 1, u'X', true, u'X'},
                      AnswerRow{"NotReadyOnV", L"/ready:0 /drive:V", 0, u'V', false, u'V'},
                      AnswerRow{"LowerCaseLetterStaysLowerCase", L"/drive:x", 1, u'x', true, u'x'},
                      AnswerRow{"UpperBitsOnlyIsNotReady", L"/ready:0x100000000", 0x100000000u, u'X', false, u'X'},
                      AnswerRow{"UpperBitsOfTheLetterAreIgnored",
                                L"/ready:0xFFFFFFFF00000001 /letter:0xFFFF000000000058", 0xFFFFFFFF00000001u,
                                0xFFFF000000000058u, true, u'X'},
                      AnswerRow{"LetterZeroWithUpperBitsIsNoLetter", L"/letter:0x7FFF0000", 1, 0x7FFF0000u, true, 0}),
    fakes::CaseName());

TEST_F(AgentChannelUnderWine, AHungAgentReadsAsZeroWithinTheBound) {
  const wine::ProductAgentBound bound;
  AgentProcess agent(L"/hang");
  ASSERT_NE(agent.Window(), nullptr);
  // The agent sleeps for a minute before it answers 1: the 0 is the query giving up first.
  EXPECT_EQ(Ask(agent.Window(), AGENT_QUERY_READY), 0u);
  EXPECT_EQ(QueryVaultDriveLetter(link), 0);
}

}  // namespace
}  // namespace torvo
