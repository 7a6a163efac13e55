// The DLL end to end, as the shell meets it: registered with regsvr32 (machine-wide or per user),
// found and created by the explorer-like host, driven through a real popup menu, with the
// stand-in agent answering in its own process.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

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
    ASSERT_THAT(RunRegsvr32(GetParam().switches), ExitsWith(0u));
  }
  void TearDown() override {
    CloseAllAgents();
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

// ---- what the move takes, and under which names it puts it into the vault ----

// The newest write time of an m2m list file in the temporary folder (0: none).
ULONGLONG NewestList() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  ULONGLONG newest = 0;
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW((std::wstring(temp) + L"m2m*.tmp").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found)) {
    newest =
        std::max(newest, ULONGLONG{found.ftLastWriteTime.dwHighDateTime} << 32 | found.ftLastWriteTime.dwLowDateTime);
  }
  if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
  return newest;
}

struct MoveRow {
  const char* name;
  // Names in the scratch folder, as the drop-file list holds them; each file that can be made is
  // made holding its own name. z.doc is there too, never chosen.
  std::vector<std::wstring> chosen;
  std::vector<std::pair<std::wstring, std::string>> vault;  // V:\ afterwards: names and contents
  bool offered = true;
  const wchar_t* agentFolder = nullptr;  // the agent runs from there instead of beside the DLL
  bool dllAlone = false;                 // the DLL registered from a folder without the agent
  const wchar_t* verb = L"";             // invoked by this verb's name rather than its offset
  const wchar_t* notInTheVault = L"";    // a name the move must not make in V:\ (none when empty)
};

void PrintTo(const MoveRow& row, std::ostream* out) { *out << row.name; }

class EndToEndMove : public ::testing::TestWithParam<MoveRow> {
 protected:
  void TearDown() override {
    CloseAllAgents();
    RemoveAllRegistrations();
    RemoveTree(L"V:\\report.doc");
    for (const auto& [name, content] : GetParam().vault) RemoveTree(L"V:\\" + name);
    if (*GetParam().notInTheVault != L'\0') RemoveTree(std::wstring(L"V:\\") + GetParam().notInTheVault);
  }
  ComApartment apartment;
  ScratchFolder folder{L"torvo-e2e-move"};
};

TEST_P(EndToEndMove, TakesOnlyWhatWasChosenAndReplacesNothing) {
  const MoveRow& row = GetParam();
  RemoveAllRegistrations();
  CloseAllAgents();
  for (const std::wstring& name :
       {std::wstring(L"a\\report.doc"), std::wstring(L"b\\report.doc"), std::wstring(L"z.doc")}) {
    folder.AddFolder(name.substr(0, 1));
    folder.AddFile(name, std::string(name.begin(), name.end()));
  }
  ::CopyFileW(folder.AddFile(L"v", "vault").c_str(), L"V:\\report.doc", FALSE);  // what the vault holds
  std::wstring dll = ServerDllPath(), agentProgram = AgentProgramPath();
  if (row.dllAlone) {
    const std::wstring alone = folder.AddFolder(L"alone") + L"\\x.dll";
    ASSERT_TRUE(::CopyFileW(dll.c_str(), alone.c_str(), FALSE));
    dll = alone;
  }
  if (row.agentFolder != nullptr) {
    agentProgram = folder.AddFolder(row.agentFolder) + L"\\" + kAgentProgramName;
    ASSERT_TRUE(::CopyFileW(AgentProgramPath().c_str(), agentProgram.c_str(), FALSE));
  }
  ASSERT_THAT(RunRegsvr32(L"", dll), ExitsWith(0u));
  AgentLog log(L"torvo-e2e-move-agent.log");
  std::optional<AgentProcess> agent;
  if (!row.dllAlone) agent.emplace(L"/ready:1 /drive:V", agentProgram);
  const ULONGLONG listsBefore = NewestList();

  HostRequest request;
  request.dropList = true;
  for (const std::wstring& name : row.chosen) request.items.push_back(folder.Path() + L"\\" + name);
  request.invoke = true;
  request.verb = row.verb;
  EXPECT_EQ(RunContextMenu(request).queryResult, row.offered ? 1 : 0);

  EXPECT_EQ(FileBytes(L"V:\\report.doc"), "vault");
  for (const auto& [name, content] : row.vault) EXPECT_EQ(FileBytes(L"V:\\" + name), content) << name;
  if (*row.notInTheVault != L'\0') {
    EXPECT_FALSE(PathExists(std::wstring(L"V:\\") + row.notInTheVault));
  }
  EXPECT_TRUE(PathExists(folder.Path() + L"\\z.doc")) << "z.doc was never chosen";
  EXPECT_EQ(PathExists(folder.Path() + L"\\a\\report.doc"), row.vault.empty());
  if (row.agentFolder != nullptr) {  // the impostor is no agent: the real one gets the list
    const auto moves = log.WaitForLoginMoves(1);
    ASSERT_EQ(moves.size(), 1u);
    ::DeleteFileW(moves[0].listFile.c_str());
  }
  EXPECT_EQ(NewestList(), listsBefore) << "a list of the user's paths stayed behind";
}

INSTANTIATE_TEST_SUITE_P(
    Selections, EndToEndMove,
    ::testing::Values(MoveRow{"TwoFilesOfOneNameBothArriveBesideTheVaultsOwn",
                              {L"a\\report.doc", L"b\\report.doc"},
                              {{L"report (2).doc", "a\\report.doc"}, {L"report (3).doc", "b\\report.doc"}}},
                      MoveRow{"InvokedByTheVerbsName",
                              {L"a\\report.doc"},
                              {{L"report (2).doc", "a\\report.doc"}},
                              true,
                              nullptr,
                              false,
                              L"ZebTorvoMove"},
                      MoveRow{"AQuestionMarkIsNoPatternAndMovesNothing", {L"a\\report.doc", L"?.doc"}, {}, false},
                      MoveRow{"APathTooLongToMoveKeepsTheWholeSelection",
                              {L"a\\report.doc", L"a\\" + std::wstring(260, L'n')},
                              {},
                              false},
                      MoveRow{
                          "AnImpostorsDriveGetsNothingAndTheAgentTheList", {L"a\\report.doc"}, {}, true, L"downloads"},
                      MoveRow{"AMissingAgentProgramLeavesNoList", {L"a\\report.doc"}, {}, true, nullptr, true},
                      // Windows drops a name's closing blank: the item chosen is not the one it would move.
                      MoveRow{"ANameEndingInABlankLeavesItsNamesakeInPlace", {L"a\\report.doc "}, {}, false},
                      MoveRow{"OneFileInTwoSpellingsIsMovedOnce",
                              {L"a\\report.doc", L"A\\REPORT.DOC"},
                              {{L"report (2).doc", "a\\report.doc"}},
                              true,
                              nullptr,
                              false,
                              L"",
                              L"REPORT (3).DOC"}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo
