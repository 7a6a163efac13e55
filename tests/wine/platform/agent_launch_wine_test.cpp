// The real start of zebtorvofloat.exe from the folder of the DLL that asks for it, a folder with
// spaces in its name, seen in what the started agent logged; and torvo-move.exe from that folder
// handing its list to the agent beside it when the vault root is gone. Wine refuses the attribute
// that starts a program outside the caller's package, so the plain start is what runs here.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_program_starter.h"
#include "shellmenu/program_launch.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

constexpr wchar_t kProbeDll[] = L"agent_launch_probe.dll";
using LaunchFromProbe = HRESULT (*)(const wchar_t* const* paths, int count);

// The probe DLL and the agent copied into "<temp>\torvo-launch\dir with spaces\", the DLL loaded
// from there.
class AgentLaunchUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    installed = root.AddFolder(L"dir with spaces") + L"\\";
    ASSERT_TRUE(::CopyFileW(wine::AgentProgramPath().c_str(), (installed + wine::kAgentProgramName).c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW((wine::ProgramFolder() + kProbeDll).c_str(), (installed + kProbeDll).c_str(), FALSE));
    dll.Reset(::LoadLibraryW((installed + kProbeDll).c_str()));
    ASSERT_TRUE(dll);
  }

  wine::ComApartment apartment;
  wine::ScratchFolder root{L"torvo-launch"};
  std::wstring installed;
  win32::UniqueLibrary dll;
  wine::AgentLog log{L"torvo-launch-agent.log"};
};

TEST_F(AgentLaunchUnderWine, OwnModulePathIsTheDllsFullPath) {
  win32::Win32ProgramStarter starter(dll.Get());
  char16_t path[MAX_PATH] = {};
  const std::wstring expected = installed + kProbeDll;
  EXPECT_EQ(starter.GetOwnModulePath(path, MAX_PATH), expected.size());
  EXPECT_EQ(std::wstring(win32::AsWide(path)), expected);
  // A buffer too small for the path: cut, and the whole size reported.
  char16_t cut[10] = {};
  EXPECT_EQ(starter.GetOwnModulePath(cut, 10), 10u);
}

// The mover is started only when it is there: the shell would show its "cannot find" message.
TEST_F(AgentLaunchUnderWine, ExistsAnswersWhetherTheProgramsFileIsThere) {
  win32::Win32ProgramStarter starter(dll.Get());
  EXPECT_TRUE(starter.Exists(win32::AsUtf16((installed + wine::kAgentProgramName).c_str())));
  EXPECT_FALSE(starter.Exists(win32::AsUtf16((installed + L"torvo-move.exe").c_str())));
}

TEST_F(AgentLaunchUnderWine, StartTakesAFilePathWithSpacesWholeAndTheParametersAsOneString) {
  const std::wstring list = root.AddFile(L"list with spaces.tmp", std::string("D\0:\0\\\0x\0\n\0", 10));
  win32::Win32ProgramStarter starter(dll.Get());
  const std::wstring parameters = L"/_loginmove \"" + list + L"\"";
  EXPECT_TRUE(StartProgram(starter, win32::AsUtf16((installed + wine::kAgentProgramName).c_str()),
                           win32::AsUtf16(parameters.c_str())));
  const std::vector<wine::LoginMove> moves = log.WaitForLoginMoves(1);
  ASSERT_EQ(moves.size(), 1u) << "the agent did not log its start";
  EXPECT_NE(moves[0].commandLine.find(L"dir with spaces\\zebtorvofloat.exe"), std::wstring::npos)
      << moves[0].commandLine;
  EXPECT_TRUE(moves[0].commandLine.ends_with(L" " + parameters)) << moves[0].commandLine;
  EXPECT_EQ(moves[0].listFile, list);
  EXPECT_EQ(moves[0].records, std::vector<std::wstring>{L"D:\\x"});
  EXPECT_EQ(moves[0].end, L"1 records");
}

TEST_F(AgentLaunchUnderWine, TheDllStartsTheAgentBesideItWithTheQuotedListFile) {
  const auto launch =
      reinterpret_cast<LaunchFromProbe>(reinterpret_cast<void*>(::GetProcAddress(dll.Get(), "LaunchFromProbe")));
  ASSERT_NE(launch, nullptr);
  const std::vector<std::wstring> items = {L"D:\\data\\report.doc", L"C:\\\u6587\u4EF6\\a b.txt"};
  const wchar_t* paths[] = {items[0].c_str(), items[1].c_str()};
  EXPECT_EQ(launch(paths, 2), S_OK);

  const std::vector<wine::LoginMove> moves = log.WaitForLoginMoves(1);
  ASSERT_EQ(moves.size(), 1u) << "the agent did not log its start";
  const wine::LoginMove& move = moves[0];
  ::DeleteFileW(move.listFile.c_str());
  EXPECT_NE(move.commandLine.find(installed + wine::kAgentProgramName), std::wstring::npos) << move.commandLine;
  EXPECT_TRUE(move.commandLine.ends_with(L" /_loginmove \"" + move.listFile + L"\"")) << move.commandLine;
  const std::wstring name = move.listFile.substr(move.listFile.find_last_of(L'\\') + 1);
  EXPECT_EQ(name.substr(0, 3), L"m2m");
  EXPECT_EQ(move.records, items);
  EXPECT_EQ(move.end, L"2 records");
}

TEST_F(AgentLaunchUnderWine, MoverWhoseVaultRootIsGoneStartsTheAgentWithItsList) {
  const std::wstring mover = installed + L"torvo-move.exe";
  ASSERT_TRUE(::CopyFileW((wine::ProgramFolder() + L"torvo-move.exe").c_str(), mover.c_str(), FALSE));
  const std::wstring item = root.AddFile(L"report.doc");
  std::string bytes;
  for (wchar_t unit : item + L"\n") bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  const std::wstring list = root.AddFile(L"m2m1A2B.tmp", bytes);

  EXPECT_THAT(wine::RunProgram(L"\"" + mover + L"\" Q:\\ \"" + list + L"\""),
              wine::ExitsWith(2u));  // handed to the agent
  const std::vector<wine::LoginMove> moves = log.WaitForLoginMoves(1);
  ASSERT_EQ(moves.size(), 1u) << "the agent did not log its start";
  EXPECT_NE(moves[0].commandLine.find(installed + wine::kAgentProgramName), std::wstring::npos);
  EXPECT_EQ(moves[0].listFile, list);
  EXPECT_EQ(moves[0].records, std::vector<std::wstring>{item});
  EXPECT_TRUE(wine::PathExists(item));
}

}  // namespace
}  // namespace torvo
