// The DLL end to end, as the shell meets it: registered with regsvr32 (machine-wide or per user),
// found and created by the explorer-like host, driven through a real popup menu, with the
// stand-in agent answering in its own process.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_host.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::ElementsAre;

const std::wstring kMenuText = L"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6";

struct Mode {
  const char* name;
  const wchar_t* switches;  // regsvr32's switches to register
};

class EndToEnd : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    RemoveAllRegistrations();
    CloseAllAgents();
    RemoveTree(L"V:\\report.doc");
    ASSERT_EQ(RunRegsvr32(GetParam().switches), 0u);
  }
  void TearDown() override {
    CloseAllAgents();
    EXPECT_EQ(RunRegsvr32(std::wstring(L"/u ") + GetParam().switches), 0u);
    RemoveAllRegistrations();
    RemoveTree(L"V:\\report.doc");
  }

  HostRun Run(const std::wstring& item, bool invoke, const wchar_t* classKey = L"*") {
    HostRequest request;
    request.items = {item};
    request.classKey = classKey;
    request.invoke = invoke;
    return RunContextMenu(request);
  }

  ComApartment apartment;
  ScratchFolder folder{L"torvo-e2e"};
};

TEST_P(EndToEnd, TheItemAppearsAtItsPlaceWithItsTextAndHelp) {
  AgentProcess agent(L"/ready:1 /drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const HostRun run = Run(folder.AddFile(L"report.doc"), false);
  ASSERT_TRUE(run.handlerCreated) << std::hex << run.createResult;
  EXPECT_EQ(run.initializeResult, S_OK);
  EXPECT_EQ(run.queryResult, 1);
  ASSERT_EQ(run.menu.size(), 4u);
  EXPECT_EQ(run.menu[1].id, 100u);
  EXPECT_EQ(run.menu[1].text, kMenuText);
  EXPECT_TRUE(run.menu[1].hasBitmap);
  EXPECT_EQ(run.menu[0].text, L"Open");
  EXPECT_EQ(run.menu[2].text, L"Copy");
  EXPECT_EQ(run.helpText, kMenuText);
}

TEST_P(EndToEnd, FoldersAreOfferedTheItemToo) {
  const HostRun run = Run(folder.AddFolder(L"photos"), false, L"Directory");
  ASSERT_TRUE(run.handlerCreated);
  EXPECT_EQ(run.queryResult, 1);
}

TEST_P(EndToEnd, NoItemOnTheVaultDriveNorInTheWindowsFolder) {
  AgentProcess agent(L"/ready:1 /drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const std::wstring vaultFile = L"V:\\report.doc";
  HANDLE file = ::CreateFileW(vaultFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  for (const std::wstring& item : {vaultFile, std::wstring(L"C:\\windows\\system32\\kernel32.dll")}) {
    const HostRun run = Run(item, false);
    ASSERT_TRUE(run.handlerCreated);
    EXPECT_EQ(run.queryResult, 0) << std::string(item.begin(), item.end());
    EXPECT_EQ(run.menu.size(), 3u);
  }
}

TEST_P(EndToEnd, AReadyAgentGetsTheFileMovedIntoTheVault) {
  AgentProcess agent(L"/ready:1 /drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const std::wstring file = folder.AddFile(L"report.doc", "quarterly");
  const HostRun run = Run(file, true);
  ASSERT_TRUE(run.invoked);
  EXPECT_EQ(run.invokeResult, S_OK);
  EXPECT_FALSE(PathExists(file));
  EXPECT_TRUE(PathExists(L"V:\\report.doc"));
}

TEST_P(EndToEnd, AnAgentNotReadyIsStartedBesideTheDllWithTheList) {
  AgentLog log(L"torvo-e2e-agent.log");
  AgentProcess agent(L"/ready:0 /drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const std::wstring file = folder.AddFile(L"report.doc");
  const HostRun run = Run(file, true);
  ASSERT_TRUE(run.invoked);
  EXPECT_EQ(run.invokeResult, S_OK);
  const auto moves = log.WaitForLoginMoves(1);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_THAT(moves[0].records, ElementsAre(file));
  EXPECT_NE(moves[0].commandLine.find(L"/_loginmove \""), std::wstring::npos);
  EXPECT_TRUE(PathExists(file));  // the agent, not the handler, moves it later
}

INSTANTIATE_TEST_SUITE_P(Registrations, EndToEnd,
                         ::testing::Values(Mode{"MachineWide", L""}, Mode{"PerUser", L"/n /i:user"}),
                         fakes::CaseName());

}  // namespace
}  // namespace torvo
