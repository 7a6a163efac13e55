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
constexpr wchar_t kPolicyKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const std::wstring kClass32Key = L"Software\\Classes\\WOW6432Node\\CLSID\\" + kClsid;

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
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"EnforceShellExtensionSecurity");
    DeleteTree(HKEY_LOCAL_MACHINE, kClass32Key);
    ::SetEnvironmentVariableW(L"TORVO_BIN", nullptr);
    RunRegsvr32(L"/u");
    RunRegsvr32(L"/u /n /i:user");
    RemoveAllRegistrations();
  }
};

struct Mode {
  const char* name;
  const wchar_t* switches;  // regsvr32's, to register; null: both builds machine-wide, each with its own
  const wchar_t* clean;     // the line of the registration made
  const wchar_t* other;     // the line of the other way, not taken
};

class DoctorAfterRegistration : public Doctor, public ::testing::WithParamInterface<Mode> {};

TEST_P(DoctorAfterRegistration, FindsItCleanAndChangesNothing) {
  const wchar_t* switches = GetParam().switches;
  ASSERT_EQ(RunRegsvr32(switches != nullptr ? switches : L""), 0u);
  if (switches == nullptr) {
    ASSERT_EQ(RunRegsvr32Of32Bit(L""), 0u);  // both builds, machine-wide
  }
  const std::string before = RegistryExport();
  const DoctorRun run = RunDoctor();
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_THAT(run.Problems(), IsEmpty());
  EXPECT_TRUE(run.Has(GetParam().clean)) << run.output;
  EXPECT_TRUE(run.Has(GetParam().other)) << run.output;
  if (switches != nullptr) {
    EXPECT_TRUE(run.Has(L"note    registration for 32-bit programs: none")) << run.output;
  }
  EXPECT_TRUE(run.Has(L"ok      handler: created in this 64-bit process")) << run.output;
  EXPECT_TRUE(
      run.Has(L"ok      explorer command: the class {FE350870-CCAE-43AD-926D-C10521847188} is created from "
              L"the DLL in this 64-bit process and answers IExplorerCommand, titled \"\u79FB\u52A8\u5230 "
              L"ZebTorvo \u52A0\u5BC6\""))
      << run.output;
  EXPECT_TRUE(RegistryExport() == before) << "the registry changed";
}

INSTANTIATE_TEST_SUITE_P(
    Registrations, DoctorAfterRegistration,
    ::testing::Values(Mode{"MachineWide", L"", L"ok      registration machine-wide: every key and value",
                           L"note    registration per user: none"},
                      Mode{"PerUser", L"/n /i:user", L"ok      registration per user: every key and value",
                           L"note    registration machine-wide: none"},
                      Mode{"MachineWideForBoth", nullptr, L"ok      registration for 32-bit programs: ",
                           L"ok      registration machine-wide: every key and value"}),
    fakes::CaseName());

struct Breakage {
  const char* name;
  std::function<void()> make;  // run after a machine-wide registration
  // The line that tells it: "problem ..." for the one problem (exit 1), or the note that lists a
  // difference that Explorer accepts (exit 0, no problem).
  std::wstring line;
};

class DoctorOnABrokenRegistration : public Doctor, public ::testing::WithParamInterface<Breakage> {};

TEST_P(DoctorOnABrokenRegistration, GivesTheShellsVerdict) {
  ASSERT_EQ(RunRegsvr32(L""), 0u);
  GetParam().make();
  const DoctorRun run = RunDoctor();
  const std::vector<std::wstring> problems = run.Problems();
  if (GetParam().line.rfind(L"problem ", 0) != 0) {
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_TRUE(run.Has(GetParam().line)) << ::testing::PrintToString(run.output);
    return;
  }
  EXPECT_EQ(run.exitCode, 1u) << run.output;
  ASSERT_EQ(problems.size(), 1u) << ::testing::PrintToString(run.output);
  EXPECT_EQ(problems[0].find(GetParam().line), 0u) << ::testing::PrintToString(problems[0]);
  EXPECT_NE(problems[0].find(L"; to fix: "), std::wstring::npos);
}

const wchar_t kMissingDll[] = L"C:\\nowhere\\TorvoShellMenu.dll";
const std::wstring kDirectoryHandlerKey = L"Directory\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt";
const std::wstring kApprovedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

void SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
  ::RegSetKeyValueW(root, key.c_str(), name, type, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetServer(const std::wstring& path, DWORD type = REG_SZ) {
  SetText(HKEY_LOCAL_MACHINE, kInprocKey, nullptr, path, type);
}

void EnforceApproval() {
  const DWORD on = 1;
  ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"EnforceShellExtensionSecurity", REG_DWORD, &on, sizeof on);
}

std::wstring Upper(std::wstring text) {
  ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring ShortPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  ::GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  return buffer;
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

const std::wstring kTypeLibraryOk = L"ok      type library: TorvoShellMenuLib " + std::wstring(kLibIdText) +
                                    L" 1.0 is registered for the DLL\nok      proxy/stub: ";

// "... value X of K is <found> instead of <expected>, which COM and Explorer accept as the same".
std::wstring Accepted(const std::wstring& value, const std::wstring& found, const std::wstring& expected) {
  return value + L" of HKLM\\" + kInprocKey + L" is " + found + L" instead of REG_SZ \"" + expected +
         L"\", which COM and Explorer accept as the same";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DoctorOnABrokenRegistration,
    ::testing::Values(
        Breakage{"ThreadingModelDeleted",
                 [] { ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kInprocKey.c_str(), L"ThreadingModel"); },
                 L"problem registration machine-wide: missing value ThreadingModel of HKLM\\" + kInprocKey},
        Breakage{"HandlerKeyRemoved",
                 [] { DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + kDirectoryHandlerKey); },
                 L"problem registration machine-wide: missing key HKLM\\Software\\Classes\\" + kDirectoryHandlerKey},
        Breakage{
            "ListedAsBlocked",
            [] { ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kBlockedKey, kClsid.c_str(), REG_SZ, L"", sizeof(wchar_t)); },
            L"problem blocked: the class is listed under HKLM\\" + std::wstring(kBlockedKey)},
        Breakage{"ServerFileMissing", [] { SetServer(kMissingDll); },
                 L"problem dll: " + std::wstring(kMissingDll) + L" (registered machine-wide) does not exist"},
        Breakage{"UserHandlerKeyNamesAnotherClass",
                 [] { SetText(HKEY_CURRENT_USER, L"Software\\Classes\\" + kDirectoryHandlerKey, nullptr, L"{0}"); },
                 L"problem handler keys: HKCU\\Software\\Classes\\" + kDirectoryHandlerKey +
                     L" names {0}, not the handler " + kClsid},
        Breakage{"StaleUserRegistrationHidesTheMachineWideOne",
                 [] {
                   SetText(HKEY_CURRENT_USER, kInprocKey, nullptr, kMissingDll);
                   SetText(HKEY_CURRENT_USER, kInprocKey, L"ThreadingModel", L"Apartment");
                 },
                 L"problem registration per user: HKCU\\" + kInprocKey + L" names " + kMissingDll +
                     L", which does not exist; COM reads this per-user registration first, so it hides "
                     L"the intact machine-wide registration of " +
                     ServerDllPath()},
        Breakage{"ApprovedOnlyByTheOldKeyUnderThePolicy",
                 [] {
                   ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApprovedKey.c_str(), kClsid.c_str());
                   EnforceApproval();
                 },
                 L"problem approval: Shell Extensions\\Approved holds no value named " + kClsid +
                     L" (only the key ZebTorvoShellExt, which the shell does not read), and the policy "
                     L"requires it"},
        Breakage{"ApprovalMissingWithoutThePolicy",
                 [] { ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApprovedKey.c_str(), kClsid.c_str()); },
                 L"note    approval: Shell Extensions\\Approved holds no value named " + kClsid},
        Breakage{
            "RegisteredFor32BitProgramsOnly",
            [] {
              DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\CLSID\\" + kClsid);
              SetText(HKEY_LOCAL_MACHINE, kClass32Key + L"\\InprocServer32", nullptr, Win32DllPath());
              SetText(HKEY_LOCAL_MACHINE, kClass32Key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
            },
            L"problem registration: the class is registered for 32-bit programs only (HKLM\\" + kClass32Key + L")"},
        Breakage{"ThirtyTwoBitRegistrationNamesThe64BitDll",
                 [] { SetText(HKEY_LOCAL_MACHINE, kClass32Key + L"\\InprocServer32", nullptr, ServerDllPath()); },
                 L"problem registration for 32-bit programs: HKLM\\" + kClass32Key + L"\\InprocServer32 names " +
                     ServerDllPath() + L", which is no 32-bit (x86) image"},
        Breakage{"ServerAsExpandableText",
                 [] {
                   ::SetEnvironmentVariableW(L"TORVO_BIN", Folder(ServerDllPath()).c_str());
                   SetServer(L"%TORVO_BIN%\\TorvoShellMenu.dll", REG_EXPAND_SZ);
                 },
                 Accepted(L"the default value", L"REG_EXPAND_SZ \"%TORVO_BIN%\\TorvoShellMenu.dll\"", ServerDllPath())},
        // Each registration is checked against the file it names, and the type library and the
        // proxy/stub, registered with the long path, name that same file.
        Breakage{"ServerInOtherLetterCase", [] { SetServer(Upper(ServerDllPath())); }, kTypeLibraryOk},
        Breakage{"ServerAsItsShortName",
                 [] {
                   ASSERT_NE(ShortPath(ServerDllPath()), ServerDllPath());
                   SetServer(ShortPath(ServerDllPath()));
                 },
                 kTypeLibraryOk},
        Breakage{"ThreadingModelBothInOtherCase",
                 [] { SetText(HKEY_LOCAL_MACHINE, kInprocKey, L"ThreadingModel", L"bOTH"); },
                 Accepted(L"value ThreadingModel", L"REG_SZ \"bOTH\"", L"Apartment")}),
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
  EXPECT_TRUE(run.Has(L"ok      explorer command: " + file + L": shown")) << run.output;
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
        std::wstring(L"note    explorer command: C:\\windows\\system32\\kernel32.dll: hidden"),
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
