// torvo-doctor.exe end to end: after real registrations, with one thing broken at a time, with the
// stand-in agent in each of its states, and for paths the handler leaves out. The doctor only
// reads: the registry exported before and after it is the same, the agent is never asked 1004,
// and nothing is moved or started.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::Each;
using ::testing::IsEmpty;
using ::testing::Not;

const std::wstring kClsid = kClsidText;
const std::wstring kInprocKey = L"Software\\Classes\\CLSID\\" + kClsid + L"\\InprocServer32";
constexpr wchar_t kBlockedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";

std::wstring FromUtf8(const std::string& bytes) {
  std::wstring text(bytes.size(), L'\0');
  const int units = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                                          static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(units));
  return text;
}

struct DoctorRun {
  DWORD exitCode = 0;
  std::wstring output;
  std::vector<std::wstring> lines;

  bool Has(const std::wstring& text) const { return output.find(text) != std::wstring::npos; }
  std::vector<std::wstring> Problems() const {
    std::vector<std::wstring> problems;
    for (const std::wstring& line : lines) {
      if (line.rfind(L"problem ", 0) == 0) problems.push_back(line);
    }
    return problems;
  }
};

DoctorRun RunDoctor(const std::wstring& arguments = L"") {
  DoctorRun run;
  std::string bytes;
  run.exitCode = RunProgramCapturing(L"\"" + ProgramFolder() + L"torvo-doctor.exe\" " + arguments, bytes);
  run.output = FromUtf8(bytes);
  for (std::size_t start = 0, end; (end = run.output.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    run.lines.push_back(run.output.substr(start, end - start));
  }
  return run;
}

// HKLM and HKCU as reg.exe exports them.
std::string RegistryExport() {
  std::string all;
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  const std::wstring file = std::wstring(folder) + L"torvo-doctor-export.reg";
  for (const wchar_t* root : {L"HKLM", L"HKCU"}) {
    EXPECT_EQ(RunProgram(L"reg.exe export " + std::wstring(root) + L" \"" + file + L"\" /y"), 0u);
    const win32::UniqueFile in(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    char chunk[65536];
    DWORD read = 0;
    while (in && ::ReadFile(in.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) all.append(chunk, read);
  }
  ::DeleteFileW(file.c_str());
  return all;
}

class Doctor : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistrations();
    CloseAllAgents();
  }
  void TearDown() override {
    CloseAllAgents();
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kBlockedKey, kClsid.c_str());
    RunRegsvr32(L"/u");
    RunRegsvr32(L"/u /n /i:user");
    RemoveAllRegistrations();
  }
};

struct Mode {
  const char* name;
  const wchar_t* switches;  // regsvr32's, to register
  const wchar_t* clean;     // the line of the registration made
  const wchar_t* other;     // the line of the other way, not taken
};

class DoctorAfterRegistration : public Doctor, public ::testing::WithParamInterface<Mode> {};

TEST_P(DoctorAfterRegistration, FindsItCleanAndChangesNothing) {
  ASSERT_EQ(RunRegsvr32(GetParam().switches), 0u);
  const std::string before = RegistryExport();
  const DoctorRun run = RunDoctor();
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_THAT(run.Problems(), IsEmpty());
  EXPECT_TRUE(run.Has(GetParam().clean)) << run.output;
  EXPECT_TRUE(run.Has(GetParam().other)) << run.output;
  EXPECT_TRUE(run.Has(L"ok      handler: created in this 64-bit process")) << run.output;
  EXPECT_TRUE(RegistryExport() == before) << "the registry changed";
}

INSTANTIATE_TEST_SUITE_P(
    Registrations, DoctorAfterRegistration,
    ::testing::Values(Mode{"MachineWide", L"", L"ok      registration machine-wide: every key and value",
                           L"note    registration per user: none"},
                      Mode{"PerUser", L"/n /i:user", L"ok      registration per user: every key and value",
                           L"note    registration machine-wide: none"}),
    fakes::CaseName());

struct Breakage {
  const char* name;
  std::function<void()> make;
  std::wstring problem;  // what the one problem line says
};

class DoctorOnABrokenRegistration : public Doctor, public ::testing::WithParamInterface<Breakage> {};

TEST_P(DoctorOnABrokenRegistration, NamesTheOneProblem) {
  ASSERT_EQ(RunRegsvr32(L""), 0u);
  GetParam().make();
  const DoctorRun run = RunDoctor();
  EXPECT_EQ(run.exitCode, 1u) << run.output;
  const std::vector<std::wstring> problems = run.Problems();
  ASSERT_EQ(problems.size(), 1u) << run.output;
  EXPECT_EQ(problems[0].find(L"problem " + GetParam().problem), 0u) << problems[0];
  EXPECT_NE(problems[0].find(L"; to fix: "), std::wstring::npos);
}

const wchar_t kMissingDll[] = L"C:\\nowhere\\TorvoShellMenu.dll";
const std::wstring kDirectoryHandlerKey = L"Directory\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt";

INSTANTIATE_TEST_SUITE_P(
    Rows, DoctorOnABrokenRegistration,
    ::testing::Values(Breakage{"ThreadingModelDeleted",
                               [] { ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kInprocKey.c_str(), L"ThreadingModel"); },
                               L"registration machine-wide: missing value ThreadingModel of HKLM\\" + kInprocKey},
                      Breakage{
                          "HandlerKeyRemoved",
                          [] { DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + kDirectoryHandlerKey); },
                          L"registration machine-wide: missing key HKLM\\Software\\Classes\\" + kDirectoryHandlerKey},
                      Breakage{"ListedAsBlocked",
                               [] {
                                 ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kBlockedKey, kClsid.c_str(), REG_SZ, L"",
                                                   sizeof(wchar_t));
                               },
                               L"blocked: the class is listed under HKLM\\" + std::wstring(kBlockedKey)},
                      Breakage{"ServerFileMissing",
                               [] {
                                 ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kInprocKey.c_str(), nullptr, REG_SZ, kMissingDll,
                                                   sizeof kMissingDll);
                               },
                               L"dll: " + std::wstring(kMissingDll) + L" (registered machine-wide) does not exist"}),
    fakes::CaseName());

struct AgentState {
  const char* name;
  const wchar_t* arguments;  // the agent's; null: no agent runs
  std::wstring line;         // how the doctor reports it
};

class DoctorAndAgent : public Doctor, public ::testing::WithParamInterface<AgentState> {};

TEST_P(DoctorAndAgent, ReportsItAskingOnlyForTheLetterAndMovesNothing) {
  ASSERT_EQ(RunRegsvr32(L""), 0u);
  AgentLog log(L"torvo-doctor-agent.log");
  std::optional<AgentProcess> agent;
  if (GetParam().arguments != nullptr) {
    agent.emplace(GetParam().arguments);
    ASSERT_NE(agent->Window(), nullptr);
  }
  ScratchFolder folder(L"torvo-doctor");
  const std::wstring file = folder.AddFile(L"report.doc");
  const DoctorRun run = RunDoctor(L"\"" + file + L"\"");
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_TRUE(run.Has(GetParam().line)) << run.output;
  EXPECT_TRUE(run.Has(L"ok      path: " + file + L": offered")) << run.output;
  EXPECT_TRUE(PathExists(file));
  EXPECT_THAT(log.LoginMoves(), IsEmpty());
  if (agent) {
    EXPECT_THAT(log.Queries(), ::testing::AllOf(Not(IsEmpty()), Each(std::wstring(L"1005"))));
  }
}

INSTANTIATE_TEST_SUITE_P(
    States, DoctorAndAgent,
    ::testing::Values(AgentState{"NotRunning", nullptr, L"note    agent: not running"},
                      AgentState{"VaultPresent", L"/drive:V /ready:1 /logqueries",
                                 L"ok      agent: running, with the vault on V:\\, which exists"},
                      AgentState{"VaultMissing", L"/drive:Q /ready:1 /logqueries",
                                 L"note    agent: running, with the vault on Q:\\, which does not exist"}),
    fakes::CaseName());

TEST_F(Doctor, JudgesEachPathAsTheHandlerWould) {
  ASSERT_EQ(RunRegsvr32(L""), 0u);
  AgentProcess agent(L"/drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const std::wstring tooLong = L"C:\\" + std::wstring(300, L'x');
  const DoctorRun run = RunDoctor(L"C:\\windows\\system32\\kernel32.dll V:\\report.doc " + tooLong);
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  for (const std::wstring& line :
       {std::wstring(L"note    path: C:\\windows\\system32\\kernel32.dll: not offered: a protected place (row 8 of 45: "
                     L"the path contains \"%SYSTEMROOT%\""),
        std::wstring(L"note    path: V:\\report.doc: not offered: it lies on the vault drive V:\\"),
        L"note    path: " + tooLong + L": not offered: the path is 260 UTF-16 units or longer"}) {
    EXPECT_TRUE(run.Has(line)) << ::testing::PrintToString(line) << "\n" << ::testing::PrintToString(run.output);
  }
}

TEST_F(Doctor, JsonHoldsTheSameFindingsAsOneObject) {
  ASSERT_EQ(RunRegsvr32(L""), 0u);
  const DoctorRun text = RunDoctor();
  const DoctorRun json = RunDoctor(L"--json");
  EXPECT_EQ(json.exitCode, text.exitCode);
  ASSERT_EQ(json.lines.size(), 1u);
  EXPECT_EQ(json.output.find(L"{\"dll\": \""), 0u);
  EXPECT_TRUE(json.Has(L"\"problems\": 0, \"findings\": ["));
  std::size_t findings = 0;
  for (std::size_t at = 0; (at = json.output.find(L"{\"outcome\": ", at)) != std::wstring::npos; ++at) ++findings;
  EXPECT_EQ(findings, text.lines.size());
}

TEST_F(Doctor, BadUsageExitsWithTwo) {
  for (const wchar_t* arguments : {L"--dll", L"--repair"}) {
    const DoctorRun run = RunDoctor(arguments);
    EXPECT_EQ(run.exitCode, 2u) << arguments;
    EXPECT_TRUE(run.Has(L"usage: torvo-doctor")) << arguments;
  }
}

}  // namespace
}  // namespace torvo
