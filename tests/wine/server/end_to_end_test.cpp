// The DLL end to end, as the shell meets it: registered with regsvr32 (machine-wide or per user),
// found and created by the explorer-like host, driven through a real popup menu, with the
// stand-in agent answering in its own process.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/menu_picture.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_host.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::ElementsAre;

const std::wstring kMenuText = L"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6";
const UINT kAt = HostRequest{}.indexMenu;  // where the host asks the handler to put its item

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

  HostRun Run(const std::wstring& item, bool invoke, const wchar_t* classKey = L"*", const std::wstring& picture = {}) {
    HostRequest request;
    request.items = {item};
    request.classKey = classKey;
    request.invoke = invoke;
    request.picture = picture;
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
  ASSERT_EQ(run.menu.size(), kHostItemCount + 1);
  EXPECT_EQ(run.menu[kAt].id, 100u);
  EXPECT_EQ(run.menu[kAt].text, kMenuText);
  EXPECT_TRUE(run.menu[kAt].hasBitmap);
  EXPECT_EQ(run.menu[kAt - 1].text, kHostItems[kAt - 1].text);
  EXPECT_EQ(run.menu.back().text, L"Properties");
  EXPECT_EQ(run.helpText, kMenuText);
}

TEST_P(EndToEnd, FoldersAreOfferedTheItemToo) {
  const HostRun run = Run(folder.AddFolder(L"photos"), false, L"Directory");
  ASSERT_TRUE(run.handlerCreated);
  EXPECT_EQ(run.queryResult, 1);
}

// The 64- and 32-bit builds leave out the same places, whatever ProgramFiles names in their process.
TEST_P(EndToEnd, NoItemOnTheVaultDriveNorInProtectedPlaces) {
  AgentProcess agent(L"/ready:1 /drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const std::wstring vaultFile = L"V:\\report.doc";
  HANDLE file = ::CreateFileW(vaultFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);
  for (const std::wstring& item :
       {vaultFile, std::wstring(L"C:\\windows\\system32\\kernel32.dll"), std::wstring(L"C:\\Program Files"),
        std::wstring(L"C:\\Program Files (x86)"), std::wstring(L"C:\\Program Files\\Common Files\\System"),
        std::wstring(L"C:\\Program Files (x86)\\Common Files\\System")}) {
    const HostRun run = Run(item, false);
    ASSERT_TRUE(run.handlerCreated);
    EXPECT_EQ(run.queryResult, 0) << std::string(item.begin(), item.end());
    EXPECT_EQ(run.menu.size(), kHostItemCount);
  }
}

// The host's picture mode opens the real menu (under the null driver here) and writes the PNG of its
// window: the picture has the open menu's size, and the handler's item makes the menu taller.
TEST_P(EndToEnd, ThePictureOfTheOpenMenuIsAPngOfItsSize) {
  const std::wstring offeredPicture = folder.Path() + L"\\menu.png";
  const std::wstring leftOutPicture = folder.Path() + L"\\menu-windows.png";
  const HostRun offered = Run(folder.AddFile(L"report.doc"), false, L"*", offeredPicture);
  const HostRun leftOut = Run(L"C:\\windows\\system32\\kernel32.dll", false, L"*", leftOutPicture);
  ASSERT_EQ(offered.queryResult, 1);
  ASSERT_EQ(leftOut.queryResult, 0);
  for (const auto& [run, path] : {std::pair{&offered, offeredPicture}, std::pair{&leftOut, leftOutPicture}}) {
    ASSERT_TRUE(run->picture.written);
    const SIZE file = PictureFileSize(path);
    EXPECT_EQ(file.cx, run->picture.size.cx);
    EXPECT_EQ(file.cy, run->picture.size.cy);
  }
  EXPECT_GT(offered.picture.size.cy, leftOut.picture.size.cy);
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
