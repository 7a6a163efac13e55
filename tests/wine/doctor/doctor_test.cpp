// torvo-doctor.exe end to end: after real registrations, with one thing broken at a time, with the
// stand-in agent in each of its states, and for paths the handler leaves out. Without --fix the
// doctor only reads: the registry read before and after it is the same, the agent is never
// asked 1004, and nothing is moved or started. With --fix --yes it repairs what it may and leaves
// an administrator's decisions as they are.
#include <windows.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/registry_snapshot.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"
#include "tools/doctor/checks/check.h"
#include "torvo_version.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::Contains;
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
  const ProgramRun program =
      RunProgram(L"\"" + ProgramFolder() + L"torvo-doctor.exe\" " + arguments, {.timeoutMs = 60000, .speaks = true});
  run.exitCode = program.exitCode;
  run.output = FromUtf8(program.output);
  if (!program.started || program.hung) {  // every assertion on the run prints its output: the record
    run.exitCode = 0xFFFFFFFF;
    run.output = FromUtf8(::testing::PrintToString(program));
  }
  for (std::size_t start = 0, end; (end = run.output.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    run.lines.push_back(run.output.substr(start, end - start));
  }
  // Each finding's check is one of the table's, which the support desk's guide names.
  for (const std::wstring& line : run.lines) {
    if (line.rfind(L"ok      ", 0) != 0 && line.rfind(L"problem ", 0) != 0 && line.rfind(L"note    ", 0) != 0) continue;
    const std::wstring check = line.substr(8, line.find(L": ") - 8);
    EXPECT_THAT(doctor::kCheckNames, Contains(check)) << line;
  }
  return run;
}

// What the doctor judges and --fix may change, in both roots and both views: the registration's
// classes keys and every shell extension of the classes it serves, the Explorer command's class, the
// shell's extension lists and policies, the installer's record.
std::wstring JudgedRegistry() {
  std::vector<std::wstring> paths = {L"Software\\Classes\\CLSID\\{FE350870-CCAE-43AD-926D-C10521847188}", kApprovedKey,
                                     kBlockedKey, kPolicyKey, L"Software\\ZebTorvo"};
  for (const std::wstring& key : RegistrationClassesKeys()) paths.push_back(L"Software\\Classes\\" + key);
  for (const wchar_t* kind : kHandlerClasses)
    paths.push_back(L"Software\\Classes\\" + std::wstring(kind) + L"\\ShellEx");
  std::vector<RegistryPlace> places;
  for (const std::wstring& path : paths) {
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      places.push_back({HKEY_LOCAL_MACHINE, path, view});
      places.push_back({HKEY_CURRENT_USER, path, view});
    }
  }
  return RegistrySnapshot(places);
}

const std::wstring kClassKey = L"Software\\Classes\\CLSID\\" + kClsid;

// Lets no one set values or create subkeys in the key, as HKLM meets a user who is no
// administrator; `deny` false gives everyone every right again.
void DenyWrites(HKEY root, const std::wstring& key, bool deny = true) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(root, key.c_str(), 0, WRITE_DAC, &handle) != ERROR_SUCCESS) return;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ::ConvertStringSecurityDescriptorToSecurityDescriptorW(deny ? L"D:(D;;0x6;;;WD)(A;;KA;;;WD)" : L"D:(A;;KA;;;WD)",
                                                         SDDL_REVISION_1, &descriptor, nullptr);
  ::RegSetKeySecurity(handle, DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  ::RegCloseKey(handle);
}

// A second whole copy of the DLL, with the agent beside it.
std::wstring CopyFolder() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"torvo-doctor-copy\\";
}

class Doctor : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistrations();
    CloseAllAgents();
    // Wine's tokens are all a full administrator's: the doctor of these rows is a standard user's.
    ::SetEnvironmentVariableW(L"TORVO_DOCTOR_STANDARD_USER", L"1");
  }
  void TearDown() override {
    CloseAllAgents();
    DenyWrites(HKEY_LOCAL_MACHINE, kClassKey, false);
    for (const wchar_t* name : {L"TorvoShellMenu.dll", L"zebtorvofloat.exe"}) {
      ::DeleteFileW((CopyFolder() + name).c_str());
    }
    ::RemoveDirectoryW(CopyFolder().c_str());
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kBlockedKey, kClsid.c_str());
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"EnforceShellExtensionSecurity");
    DeleteTree(HKEY_LOCAL_MACHINE, kClass32Key);
    ::SetEnvironmentVariableW(L"TORVO_BIN", nullptr);
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
  ASSERT_THAT(RunRegsvr32(switches != nullptr ? switches : L""), ExitsWith(0u));
  if (switches == nullptr) {
    ASSERT_THAT(RunRegsvr32Of32Bit(L""), ExitsWith(0u));  // both builds, machine-wide
  }
  const std::wstring before = JudgedRegistry();
  ASSERT_NE(before.find(L"InprocServer32"), std::wstring::npos) << "the snapshot holds no registration";
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
  EXPECT_TRUE(JudgedRegistry() == before) << "the registry changed";
  const DoctorRun fix = RunDoctor(L"--fix --yes");
  EXPECT_EQ(fix.exitCode, 0u) << fix.output;
  EXPECT_TRUE(fix.Has(L"torvo-doctor --fix: nothing to apply")) << fix.output;
  EXPECT_TRUE(JudgedRegistry() == before) << "--fix changed the registry";
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

// What --fix --yes does about the one problem of a row.
enum class Fix {
  kRepairs,             // it applies its fix: then nothing is a problem (exit 0)
  kFailsHalfWay,        // its fix fails after it wrote some of it: it says so (exit 1)
  kLeaves,              // an administrator's decision, or a fix by hand: it applies nothing (exit 1)
  kNeedsAdministrator,  // its fix needs rights this user lacks: it says so and changes nothing (exit 1)
};

struct Breakage {
  const char* name;
  std::function<void()> make;  // run after a machine-wide registration
  // The line that tells it: "problem ..." for the one problem (exit 1), or the note that lists a
  // difference that Explorer accepts (exit 0, no problem).
  std::wstring line;
  Fix fix = Fix::kRepairs;
  std::function<void()> afterFix = nullptr;      // what must hold after --fix --yes
  WORD onlyOn = PROCESSOR_ARCHITECTURE_UNKNOWN;  // the native machine whose verdict the row shows, or every one
  std::size_t problems = 1;                      // the line's is the first, the others share its fix
};

// A copy of the DLL (in the copy folder) whose file header says it was built for `machine`.
std::wstring DllBuiltFor(WORD machine) {
  ::CreateDirectoryW(CopyFolder().c_str(), nullptr);
  const std::wstring copy = CopyFolder() + L"TorvoShellMenu.dll";
  ::CopyFileW(ServerDllPath().c_str(), copy.c_str(), FALSE);
  const win32::UniqueFile file(
      ::CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  DWORD header = 0, done = 0;
  ::SetFilePointer(file.Get(), 0x3C, nullptr, FILE_BEGIN);  // e_lfanew: where the PE header begins
  ::ReadFile(file.Get(), &header, sizeof header, &done, nullptr);
  ::SetFilePointer(file.Get(), static_cast<LONG>(header + 4), nullptr, FILE_BEGIN);
  EXPECT_TRUE(::WriteFile(file.Get(), &machine, sizeof machine, &done, nullptr));
  return copy;
}

void SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ);

// Other programs' keys, in the user's classes and the machine's, beside and above every key of
// ours that a repair may delete: a verb and a handler for files, a handler for folders, their
// backgrounds and shortcuts, and a class.
std::vector<std::pair<HKEY, std::wstring>> ForeignKeys() {
  std::vector<std::pair<HKEY, std::wstring>> keys;
  for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    keys.emplace_back(root, L"Software\\Classes\\*\\shell\\OtherApp");
    keys.emplace_back(root, L"Software\\Classes\\CLSID\\{0F0F0F0F-1234-5678-9ABC-DEF012345678}\\InprocServer32");
    for (const wchar_t* kind : {L"*", L"Directory", L"Directory\\Background", L"lnkfile"}) {
      keys.emplace_back(root,
                        L"Software\\Classes\\" + std::wstring(kind) + L"\\ShellEx\\ContextMenuHandlers\\OtherVendor");
    }
  }
  return keys;
}

class DoctorOnABrokenRegistration : public Doctor, public ::testing::WithParamInterface<Breakage> {
 protected:
  void TearDown() override {
    for (const auto& [root, key] : ForeignKeys()) DeleteTree(root, key);
    Doctor::TearDown();
  }
};

TEST_P(DoctorOnABrokenRegistration, GivesTheShellsVerdict) {
  SYSTEM_INFO native{};
  ::GetNativeSystemInfo(&native);
  if (GetParam().onlyOn != PROCESSOR_ARCHITECTURE_UNKNOWN && GetParam().onlyOn != native.wProcessorArchitecture) {
    GTEST_SKIP() << "another machine's row";
  }
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  for (const auto& [root, key] : ForeignKeys()) SetText(root, key, nullptr, L"another program's");
  GetParam().make();
  std::vector<std::pair<HKEY, std::wstring>> foreign;  // as the row leaves them, before any fix
  for (const auto& place : ForeignKeys()) {
    if (KeyExists(place.first, place.second)) foreign.push_back(place);
  }
  const DoctorRun run = RunDoctor();
  const std::vector<std::wstring> problems = run.Problems();
  if (GetParam().line.rfind(L"problem ", 0) != 0) {
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_THAT(problems, IsEmpty());
    EXPECT_TRUE(run.Has(GetParam().line)) << ::testing::PrintToString(run.output);
    return;
  }
  EXPECT_EQ(run.exitCode, 1u) << run.output;
  ASSERT_EQ(problems.size(), GetParam().problems) << ::testing::PrintToString(run.output);
  EXPECT_EQ(problems[0].find(GetParam().line), 0u) << ::testing::PrintToString(problems[0]);
  EXPECT_NE(problems[0].find(L"; to fix: "), std::wstring::npos);

  const DoctorRun fixed = RunDoctor(L"--fix --yes");
  EXPECT_EQ(fixed.exitCode, GetParam().fix == Fix::kRepairs ? 0u : 1u) << ::testing::PrintToString(fixed.output);
  if (GetParam().fix == Fix::kLeaves) {
    EXPECT_TRUE(fixed.Has(L"torvo-doctor --fix: nothing to apply"));
  }
  if (GetParam().fix == Fix::kNeedsAdministrator) {
    EXPECT_TRUE(fixed.Has(L"\nneeds administrator: regsvr32 "));
  }
  if (GetParam().fix == Fix::kFailsHalfWay) {
    EXPECT_TRUE(fixed.Has(L"\nfailed: 0x80004005 (Call failed.); ")) << ::testing::PrintToString(fixed.output);
  }
  if (GetParam().afterFix) GetParam().afterFix();
  for (const auto& [root, key] : foreign) EXPECT_TRUE(KeyExists(root, key)) << "a fix deleted another program's key";
}

const wchar_t kMissingDll[] = L"C:\\nowhere\\TorvoShellMenu.dll";
const std::wstring kDirectoryHandlerKey = L"Directory\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt";
const std::wstring kFileHandlerKey = L"*\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt";
const std::wstring kApprovedKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::wstring kOtherVendorsHandlerKey = L"Software\\Classes\\Directory\\ShellEx\\ContextMenuHandlers\\OtherVendor";

void SetText(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& text, DWORD type) {
  ::RegSetKeyValueW(root, key.c_str(), name, type, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetServer(const std::wstring& path, DWORD type = REG_SZ) {
  SetText(HKEY_LOCAL_MACHINE, kInprocKey, nullptr, path, type);
}

// The class key alone in the user's classes, with what COM reads of it alone: the server `dll` and
// its threading model.
void RegisterClassForUser(const std::wstring& dll) {
  SetText(HKEY_CURRENT_USER, kInprocKey, nullptr, dll);
  SetText(HKEY_CURRENT_USER, kInprocKey, L"ThreadingModel", L"Apartment");
}

// A copy of the DLL with the agent, and without torvo-move.exe, registered for the user.
void RegisterCopyForUser() {
  ::CreateDirectoryW(CopyFolder().c_str(), nullptr);
  for (const wchar_t* name : {L"TorvoShellMenu.dll", L"zebtorvofloat.exe"}) {
    ::CopyFileW((ProgramFolder() + name).c_str(), (CopyFolder() + name).c_str(), FALSE);
  }
  RegisterClassForUser(CopyFolder() + L"TorvoShellMenu.dll");
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
        Breakage{"HandlerKeyRemovedUnderAUserClassWithoutItsShellEx",
                 [] {
                   RegisterClassForUser(ServerDllPath());
                   DeleteTree(HKEY_CURRENT_USER, L"Software\\Classes\\*\\ShellEx");
                   DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + kFileHandlerKey);
                 },
                 L"problem registration machine-wide: missing key HKLM\\Software\\Classes\\" + kFileHandlerKey,
                 Fix::kRepairs, nullptr, PROCESSOR_ARCHITECTURE_UNKNOWN, 2},
        Breakage{"StaleUserHandlerEntryBesideAnotherProducts",
                 [] {
                   RegisterClassForUser(ServerDllPath());
                   SetText(HKEY_CURRENT_USER, L"Software\\Classes\\" + kFileHandlerKey, nullptr, L"{0}");
                 },
                 L"problem registration per user: the default value of HKCU\\Software\\Classes\\" + kFileHandlerKey,
                 Fix::kRepairs, nullptr, PROCESSOR_ARCHITECTURE_UNKNOWN, 2},
        Breakage{"WriteProtectedClassKey",
                 [] {
                   ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kInprocKey.c_str(), L"ThreadingModel");
                   DenyWrites(HKEY_LOCAL_MACHINE, kClassKey);
                 },
                 L"problem registration machine-wide: missing value ThreadingModel of HKLM\\" + kInprocKey,
                 Fix::kNeedsAdministrator,
                 [] {
                   std::wstring model;
                   EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kInprocKey, L"ThreadingModel", model));
                 }},
        Breakage{"ListedAsBlocked",
                 [] { SetText(HKEY_LOCAL_MACHINE, kBlockedKey, kClsid.c_str(), L"blocked by the administrator"); },
                 L"problem blocked: the class is listed under HKLM\\" + std::wstring(kBlockedKey), Fix::kLeaves,
                 [] {
                   std::wstring entry;
                   EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kBlockedKey, kClsid, entry));
                   EXPECT_EQ(entry, L"blocked by the administrator");
                 }},
        // Explorer is a native process: it loads no image of the other 64-bit machine.
        Breakage{"ImageOfArm64OnAnX64Machine", [] { SetServer(DllBuiltFor(IMAGE_FILE_MACHINE_ARM64)); },
                 L"problem dll: " + CopyFolder() +
                     L"TorvoShellMenu.dll (registered machine-wide) is built for another machine (ARM64): Explorer "
                     L"on this x64 machine loads x64 handlers only",
                 Fix::kLeaves, nullptr, PROCESSOR_ARCHITECTURE_AMD64},
        Breakage{"ImageOfX64OnAnArm64Machine", [] { SetServer(DllBuiltFor(IMAGE_FILE_MACHINE_AMD64)); },
                 L"problem dll: " + CopyFolder() +
                     L"TorvoShellMenu.dll (registered machine-wide) is built for another machine (x64): Explorer "
                     L"on this ARM64 machine loads ARM64 handlers only",
                 Fix::kLeaves, nullptr, PROCESSOR_ARCHITECTURE_ARM64},
        Breakage{"ServerFileMissing", [] { SetServer(kMissingDll); },
                 L"problem dll: " + std::wstring(kMissingDll) + L" (registered machine-wide) does not exist",
                 Fix::kLeaves},
        // --fix deletes the user's key of this handler alone: another product's beside it stays.
        Breakage{"UserHandlerKeyNamesAnotherClass",
                 [] {
                   SetText(HKEY_CURRENT_USER, L"Software\\Classes\\" + kDirectoryHandlerKey, nullptr, L"{0}");
                   SetText(HKEY_CURRENT_USER, kOtherVendorsHandlerKey, nullptr, L"{1}");
                 },
                 L"problem handler keys: HKCU\\Software\\Classes\\" + kDirectoryHandlerKey +
                     L" names {0}, not the handler " + kClsid,
                 Fix::kRepairs,
                 [] {
                   std::wstring other;
                   EXPECT_TRUE(ReadRegString(HKEY_CURRENT_USER, kOtherVendorsHandlerKey, L"", other));
                   EXPECT_EQ(other, L"{1}");
                 }},
        // The registration that --fix runs fails at the type library, after the scripts have
        // written the approval: the approval goes again with what else it wrote (the key in the
        // way of the type library, which no one may write into, stays as it is).
        Breakage{"RegistrationFixFailingHalfWay",
                 [] {
                   ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kInprocKey.c_str(), L"ThreadingModel");
                   ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kApprovedKey.c_str(), kClsid.c_str());
                   DenyWrites(HKEY_LOCAL_MACHINE,
                              L"Software\\Classes\\TypeLib\\" + std::wstring(kLibIdText) + L"\\1.0");
                 },
                 L"problem registration machine-wide: missing value ThreadingModel of HKLM\\" + kInprocKey,
                 Fix::kFailsHalfWay,
                 [] {
                   std::wstring value;
                   EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid, value));
                   EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kInprocKey, L"ThreadingModel", value));
                 }},
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
                     L"requires it",
                 Fix::kRepairs,
                 [] {
                   std::wstring approval;
                   EXPECT_TRUE(ReadRegString(HKEY_LOCAL_MACHINE, kApprovedKey, kClsid, approval));
                   EXPECT_EQ(approval, L"ZebTorvoShellExt");
                   DWORD policy = 0;
                   DWORD size = sizeof policy;
                   EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, kPolicyKey, L"EnforceShellExtensionSecurity",
                                            RRF_RT_REG_DWORD, nullptr, &policy, &size),
                             ERROR_SUCCESS);
                   EXPECT_EQ(policy, 1u);
                 }},
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
                     ServerDllPath() + L", which is no 32-bit (x86) image",
                 Fix::kLeaves},
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
                 Accepted(L"value ThreadingModel", L"REG_SZ \"bOTH\"", L"Apartment")},
        // A working per-user registration: the user's class key names a whole DLL, and what it lacks
        // the machine's registration holds; or the machine's key it hides is broken.
        Breakage{"UserClassKeyOverTheMachineWideRegistration", [] { RegisterClassForUser(ServerDllPath()); },
                 L"note    registration per user: missing key HKCU\\Software\\Classes\\AppID\\" +
                     std::wstring(kAppIdText) + L" (Explorer and COM read the machine-wide key, which is in place)"},
        Breakage{"UserClassKeyWithoutItsDescription", [] { RegisterClassForUser(ServerDllPath()); },
                 L"note    registration per user: missing the default value of HKCU\\" + kClassKey +
                     L" (the script writes REG_SZ \"TorvoShellContextMenu Class\") (not read when Explorer and COM "
                     L"load the handler)"},
        Breakage{"TypeLibraryUnregistered",
                 [] { DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\TypeLib\\" + std::wstring(kLibIdText)); },
                 L"note    type library: TorvoShellMenuLib " + std::wstring(kLibIdText) +
                     L" 1.0 is not registered: Explorer does not read it to load the handler"},
        Breakage{"TypeLibraryRegisteredForAMissingFile",
                 [] {
                   SetText(
                       HKEY_LOCAL_MACHINE,
                       L"Software\\Classes\\TypeLib\\" + std::wstring(kLibIdText) + L"\\1.0\\0\\" + kTypeLibPlatform,
                       nullptr, kMissingDll);
                 },
                 L"note    type library: TorvoShellMenuLib " + std::wstring(kLibIdText) +
                     L" 1.0 is registered for another file, " + kMissingDll + L": Explorer does not read it"},
        Breakage{"ProxyStubOfAnotherClass",
                 [] {
                   SetText(HKEY_LOCAL_MACHINE,
                           L"Software\\Classes\\Interface\\" + std::wstring(kIidText) + L"\\ProxyStubClsid32", nullptr,
                           L"{00020424-0000-0000-C000-000000000046}");
                 },
                 L"note    proxy/stub: Interface\\" + std::wstring(kIidText) +
                     L"\\ProxyStubClsid32 does not name the DLL's proxy/stub " + kIidText +
                     L" but {00020424-0000-0000-C000-000000000046}"},
        Breakage{"UserClassKeyNamingAnotherWholeCopy", RegisterCopyForUser,
                 L"note    type library: TorvoShellMenuLib " + std::wstring(kLibIdText) +
                     L" 1.0 is registered for another whole copy of the DLL, " + ServerDllPath()},
        Breakage{"NoMoverBesideTheDll", RegisterCopyForUser,
                 L"note    mover: " + CopyFolder() +
                     L"torvo-move.exe does not exist: Windows 11's first menu then hands every move to the agent"},
        Breakage{"MachineKeyBrokenUnderAWholeUserRegistration",
                 [] {
                   ASSERT_THAT(RunRegsvr32(L"/n /i:user"), ExitsWith(0u));
                   ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kInprocKey.c_str(), L"ThreadingModel");
                 },
                 L"note    registration machine-wide: missing value ThreadingModel of HKLM\\" + kInprocKey +
                     L" (the script writes REG_SZ \"Apartment\") (Explorer and COM read this user's key instead, "
                     L"which is in place)"}),
    fakes::CaseName());

// The test's current folder for a scope.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::wstring& folder) {
    ::GetCurrentDirectoryW(MAX_PATH, saved_);
    ::SetCurrentDirectoryW(folder.c_str());
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;
  ~CurrentFolder() { ::SetCurrentDirectoryW(saved_); }

 private:
  wchar_t saved_[MAX_PATH] = {};
};

struct AgentState {
  const char* name;
  const wchar_t* arguments;  // the agent's; null: no agent runs
  std::wstring line;         // how the doctor reports it
};

class DoctorAndAgent : public Doctor, public ::testing::WithParamInterface<AgentState> {};

TEST_P(DoctorAndAgent, ReportsItAskingOnlyForTheLetterAndMovesNothing) {
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  AgentLog log(L"torvo-doctor-agent.log");
  std::optional<AgentProcess> agent;
  if (GetParam().arguments != nullptr) {
    agent.emplace(GetParam().arguments);
    ASSERT_NE(agent->Window(), nullptr);
  }
  ScratchFolder folder(L"torvo-doctor");
  const std::wstring file = folder.AddFile(L"report.doc");
  // Named as typed in its folder: both checks judge its full path.
  const CurrentFolder inTheFilesFolder(folder.Path());
  const DoctorRun run = RunDoctor(L"report.doc");
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_TRUE(run.Has(GetParam().line)) << run.output;
  EXPECT_TRUE(run.Has(L"ok      path: " + file + L": offered\n")) << run.output;
  EXPECT_TRUE(run.Has(L"note    explorer command: " + file + L": enabled, but on no first menu")) << run.output;
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
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  AgentProcess agent(L"/drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const std::wstring tooLong = L"C:\\" + std::wstring(300, L'x');
  wchar_t shortName[MAX_PATH] = {};
  ASSERT_NE(::GetShortPathNameW(L"C:\\Program Files", shortName, MAX_PATH), 0u);
  const DoctorRun run = RunDoctor(L"C:\\windows\\system32\\kernel32.dll V:\\report.doc \"C:\\Program Files (x86)\" " +
                                  tooLong + L" " + shortName);
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  for (const std::wstring& line :
       {std::wstring(L"note    path: C:\\windows\\system32\\kernel32.dll: not offered: a protected place (row 8 of 59: "
                     L"the path contains \"%SYSTEMROOT%\""),
        std::wstring(
            L"note    path: C:\\Program Files (x86): not offered: a protected place (row 47 of 59: the path is "
            L"\"%ProgramFiles(x86)%\", here C:\\Program Files (x86))\n"),
        L"note    path: " + std::wstring(shortName) +
            L": not offered: a protected place (row 2 of 59: the path is \"%ProgramFiles%\", here C:\\Program Files, "
            L"read as C:\\Program Files)\n",
        std::wstring(L"note    path: V:\\report.doc: not offered: it lies on the vault drive V:\\"),
        std::wstring(L"note    explorer command: C:\\windows\\system32\\kernel32.dll: hidden, as the classic item is "
                     L"left out (see the path's line above)\n"),
        L"note    path: " + tooLong + L": not offered: the move cannot take it as it stands"}) {
    EXPECT_TRUE(run.Has(line)) << ::testing::PrintToString(line) << "\n" << ::testing::PrintToString(run.output);
  }
}

TEST_F(Doctor, JsonHoldsTheSameFindingsAsOneObject) {
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
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

TEST_F(Doctor, FixAsksOnceAndReportsWhatItFixedAsJson) {
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kInprocKey.c_str(), L"ThreadingModel");
  const DoctorRun declined = RunDoctor(L"--fix");  // its input gives no answer: nothing is applied
  EXPECT_EQ(declined.exitCode, 1u);
  EXPECT_TRUE(declined.Has(L"Apply these fixes? [y/N] ")) << declined.output;
  std::wstring model;
  EXPECT_FALSE(ReadRegString(HKEY_LOCAL_MACHINE, kInprocKey, L"ThreadingModel", model));
  const DoctorRun json = RunDoctor(L"--fix --yes --json");
  EXPECT_EQ(json.exitCode, 0u);
  ASSERT_EQ(json.lines.size(), 1u) << json.output;
  std::wstring dll;
  for (const wchar_t unit : ServerDllPath()) dll += unit == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, unit);
  EXPECT_TRUE(json.Has(L"\"problems\": 0, \"fixes\": [{\"fix\": \"regsvr32 \\\"" + dll +
                       L"\\\"\", \"result\": \"fixed\"}], \"findings\": ["))
      << json.output;
}

// Where a hostile program of the user's would put its code: planted_mark.dll, which leaves
// torvo-planted.mark in the temporary folder when it is loaded, as TorvoShellMenu.dll in a download
// folder, and under a system name beside the doctor. Every doctor here runs elevated, as Wine's
// tokens are, without --fix and with --fix --yes. Wine keeps no access list that leaves a folder to
// administrators alone (object_security_test.cpp), so every folder here is the user's; the DLL
// named with --dll is the row whose mark shows that a load would be seen.
struct Plant {
  const char* name;
  // Puts the plant in place (`planted`: TorvoShellMenu.dll in the download folder `folder`) and
  // returns the doctor to run.
  std::function<std::wstring(const std::wstring& folder, const std::wstring& planted)> place;
  std::wstring line;            // what the doctor says of it, with WithPlant's names, here and below
  bool loaded = false;          // the doctor loads it
  std::wstring arguments = {};  // the doctor's, before the switches of the run
};

// This process's account, "S-1-5-21-0-0-0-1000" under Wine: the owner of every folder it makes.
std::wstring OwnAccount() {
  win32::UniqueHandle token;
  alignas(TOKEN_USER) BYTE user[256] = {};
  DWORD size = 0;
  wchar_t* text = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()) ||
      !::GetTokenInformation(token.Get(), TokenUser, user, sizeof user, &size) ||
      !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text))
    return L"(unknown)";
  const std::wstring account = text;
  ::LocalFree(text);
  return account;
}

// The text with <dll> the plant's path, <folder> its folder's and <account> this process's account.
std::wstring WithPlant(std::wstring text, const std::wstring& planted) {
  const std::wstring folder = planted.substr(0, planted.find_last_of(L'\\'));
  for (const auto& [from, to] : {std::pair<std::wstring, std::wstring>{L"<dll>", planted},
                                 {L"<folder>", folder},
                                 {L"<account>", OwnAccount()}}) {
    if (const std::size_t at = text.find(from); at != std::wstring::npos) text.replace(at, from.size(), to);
  }
  return text;
}

// A doctor of its own beside the plant: the case of a doctor run from a download folder.
std::wstring DoctorIn(const std::wstring& folder) {
  const std::wstring doctor = folder + L"\\torvo-doctor.exe";
  EXPECT_TRUE(::CopyFileW((ProgramFolder() + L"torvo-doctor.exe").c_str(), doctor.c_str(), FALSE));
  return doctor;
}

class DoctorBesidePlantedDll : public Doctor, public ::testing::WithParamInterface<Plant> {
 protected:
  void TearDown() override {
    DeleteTree(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\torvo-doctor.exe");
    Doctor::TearDown();
  }
};

TEST_P(DoctorBesidePlantedDll, LoadsItOnlyWhereAdministratorsAlonePutIt) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring mark = std::wstring(temp) + L"torvo-planted.mark";
  ::DeleteFileW(mark.c_str());
  ScratchFolder downloads(L"torvo-doctor-downloads");
  const std::wstring planted = downloads.Path() + L"\\TorvoShellMenu.dll";
  ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"planted_mark.dll").c_str(), planted.c_str(), FALSE));
  const std::wstring doctor = GetParam().place(downloads.Path(), planted);
  const std::wstring line = WithPlant(GetParam().line, planted);
  const std::wstring arguments = WithPlant(GetParam().arguments, planted);
  ::SetEnvironmentVariableW(L"TORVO_DOCTOR_STANDARD_USER", nullptr);  // elevated, as Wine's tokens are
  for (const wchar_t* switches : {L"", L"--fix --yes"}) {
    const std::string output =
        RunProgram(L"\"" + doctor + L"\" " + arguments + L" " + switches, {.timeoutMs = 60000}).output;
    EXPECT_NE(FromUtf8(output).find(line), std::wstring::npos) << switches << "\n" << output;
    EXPECT_EQ(PathExists(mark), GetParam().loaded) << switches << ": the mark of the planted DLL";
    ::DeleteFileW(mark.c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Plants, DoctorBesidePlantedDll,
    ::testing::Values(
        Plant{"InTheUsersClasses",
              [](const std::wstring&, const std::wstring& planted) {
                RegisterClassForUser(planted);
                return ProgramFolder() + L"torvo-doctor.exe";
              },
              L"note    handler: not loaded: this doctor runs elevated, and elevated programs do not use per-user "
              L"classes; <dll>, named by this user's classes alone ("},
        // The machine's registration vouches for the file it names, not for the user's.
        Plant{"InTheUsersClassesOverTheMachines",
              [](const std::wstring&, const std::wstring& planted) {
                EXPECT_THAT(RunRegsvr32(L""), ExitsWith(0u));
                RegisterClassForUser(planted);
                return ProgramFolder() + L"torvo-doctor.exe";
              },
              L"note    handler: not loaded: this doctor runs elevated, and elevated programs do not use per-user "
              L"classes; <dll>, named by this user's classes alone ("},
        Plant{"BesideTheDoctorWithNothingRegistered",
              [](const std::wstring& folder, const std::wstring&) { return DoctorIn(folder); },
              L"note    explorer command: not loaded: this doctor runs elevated, and <dll>, named neither by the "
              L"machine's registration nor with --dll and in a place others than administrators may change (the "
              L"owner <account> may write <folder>), is read as a file only."},
        // Named by the administrator who runs the doctor: loaded, and its mark left.
        Plant{"NamedWithDll", [](const std::wstring& folder, const std::wstring&) { return DoctorIn(folder); },
              L"problem explorer command: the class {FE350870-CCAE-43AD-926D-C10521847188} cannot be created from "
              L"<dll>: ",
              true, L"--dll \"<dll>\""},
        // A DLL of a system name that the doctor loads when it asks Windows Installer (Wine preferring
        // it, as Windows' search order would, with the doctor's own DllOverrides). A planted
        // version.dll is loaded under Wine whatever the doctor does, by Wine's own user32, and the
        // doctor's imports are checked apart (torvo-doctor.imports_known_dlls_only).
        Plant{"UnderASystemNameBesideTheDoctor",
              [](const std::wstring& folder, const std::wstring& planted) {
                const std::wstring doctor = DoctorIn(folder);
                EXPECT_TRUE(::MoveFileW(planted.c_str(), (folder + L"\\msi.dll").c_str()));
                SetText(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\torvo-doctor.exe\\DllOverrides", L"msi",
                        L"native,builtin");  // WINEDLLOVERRIDES for it alone
                return doctor;
              },
              L"installer: "}),
    fakes::CaseName());

// Windows 11 (build 22631 in the registry) with the package as the stand-in powershell.exe in
// System32 answers the doctor's query: registered for the DLL, missing, or for another folder.
struct PackageState {
  const char* name;
  bool answered;            // the stand-in prints a package line: this version, at `location`
  const wchar_t* location;  // null: the DLL's folder
  std::wstring line;        // the doctor's verdict
};

class DoctorOnWindows11 : public Doctor, public ::testing::WithParamInterface<PackageState> {
 protected:
  void SetUp() override {
    Doctor::SetUp();
    ReadRegString(HKEY_LOCAL_MACHINE, kVersionKey, L"CurrentBuildNumber", build_);
    SetText(HKEY_LOCAL_MACHINE, kVersionKey, L"CurrentBuildNumber", L"22631");
    ::CreateDirectoryW(ShellFolder().c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"powershell_stand_in.exe").c_str(),
                            (ShellFolder() + L"powershell.exe").c_str(), FALSE));
  }
  void TearDown() override {
    SetText(HKEY_LOCAL_MACHINE, kVersionKey, L"CurrentBuildNumber", build_);
    for (const wchar_t* name : {L"powershell.exe", L"powershell-calls.log", L"powershell-output.txt"}) {
      ::DeleteFileW((ShellFolder() + name).c_str());
    }
    ::DeleteFileW((ProgramFolder() + L"TorvoShellMenu.msix").c_str());
    Doctor::TearDown();
  }
  static std::wstring ShellFolder() { return L"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\"; }

 private:
  static constexpr wchar_t kVersionKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";
  std::wstring build_;
};

std::wstring DllVersion() {
  return std::to_wstring(TORVO_VERSION_MAJOR) + L"." + std::to_wstring(TORVO_VERSION_MINOR) + L"." +
         std::to_wstring(TORVO_VERSION_PATCH) + L"." + std::to_wstring(TORVO_VERSION_BUILD);
}

TEST_P(DoctorOnWindows11, ShowsTheCommandOnlyWithThePackageAndRegistersItForTheUser) {
  ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  const std::wstring folder = ProgramFolder();
  if (GetParam().answered) {
    const std::wstring line = DllVersion() + L"|" + (GetParam().location ? GetParam().location : folder) + L"\r\n";
    WriteFileBytes(ShellFolder() + L"powershell-output.txt", std::string(line.begin(), line.end()));  // ASCII here
  }
  ScratchFolder files(L"torvo-doctor-package");
  const std::wstring file = files.AddFile(L"report.doc");
  const DoctorRun run = RunDoctor(L"\"" + file + L"\"");
  std::wstring line = GetParam().line;
  for (const auto& [from, to] :
       {std::pair<std::wstring, std::wstring>{L"<version>", DllVersion()}, {L"<folder>", folder}}) {
    for (std::size_t at; (at = line.find(from)) != std::wstring::npos;) line.replace(at, from.size(), to);
  }
  EXPECT_TRUE(run.Has(line)) << ::testing::PrintToString(line) << "\n" << ::testing::PrintToString(run.output);
  const bool registered = line.rfind(L"ok", 0) == 0;
  EXPECT_EQ(run.Has(L"ok      explorer command: " + file + L": shown on Windows 11's first menu\n"), registered)
      << run.output;
  EXPECT_EQ(run.exitCode, registered ? 0u : 1u) << run.output;
  if (registered) return;
  // --fix registers the package beside the DLL for this user, its folder the external location.
  ::CloseHandle(
      ::CreateFileW((folder + L"TorvoShellMenu.msix").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const DoctorRun fix = RunDoctor(L"--fix --yes");
  EXPECT_TRUE(
      fix.Has(L"fixed: powershell -NoProfile -Command \"Get-AppxPackage -Name 'ZebTorvo.TorvoShellMenu' | "
              L"Remove-AppxPackage; Add-AppxPackage -Path '" +
              folder + L"TorvoShellMenu.msix' -ExternalLocation '" + folder + L"' -ErrorAction Stop\"\n"))
      << fix.output;
  const std::string calls = FileBytes(ShellFolder() + L"powershell-calls.log");
  EXPECT_NE(calls.find("Remove-AppxPackage; Add-AppxPackage -Path '"), std::string::npos) << calls;
}

// An elevated doctor beside a DLL that others than administrators may change registers no package
// whose external location would serve that DLL to Explorer.
TEST_F(DoctorOnWindows11, RegistersNoPackageForAPlantedDll) {
  ScratchFolder downloads(L"torvo-doctor-downloads");
  ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"planted_mark.dll").c_str(),
                          (downloads.Path() + L"\\TorvoShellMenu.dll").c_str(), FALSE));
  const std::wstring doctor = DoctorIn(downloads.Path());
  const std::wstring package = downloads.Path() + L"\\TorvoShellMenu.msix";
  ::CloseHandle(::CreateFileW(package.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ::SetEnvironmentVariableW(L"TORVO_DOCTOR_STANDARD_USER", nullptr);  // elevated, as Wine's tokens are
  const std::string output = RunProgram(L"\"" + doctor + L"\" --fix --yes", {.timeoutMs = 60000}).output;
  EXPECT_NE(FromUtf8(output).find(L"not applied (to be done by hand): package: install the product where only "
                                  L"administrators may write (the installer's folder) and register its package "
                                  L"there (--fix does not register " +
                                  package),
            std::wstring::npos)
      << output;
  EXPECT_EQ(FileBytes(ShellFolder() + L"powershell-calls.log").find("Add-AppxPackage"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Package, DoctorOnWindows11,
    ::testing::Values(
        PackageState{"Registered", true, nullptr,
                     L"ok      package: ZebTorvo.TorvoShellMenu <version> is registered for this user, its external "
                     L"location <folder>\n"},
        PackageState{"Missing", false, nullptr,
                     L"problem package: ZebTorvo.TorvoShellMenu is not registered for this user: Windows 11 shows the "
                     L"item only under Show more options; to fix: "},
        PackageState{"ForAnotherFolder", true, L"C:\\Program Files\\Old Torvo\\",
                     L"problem package: ZebTorvo.TorvoShellMenu is registered for this user, but its external location "
                     L"is C:\\Program Files\\Old Torvo\\, not the DLL's folder <folder>: "}),
    fakes::CaseName());

TEST_F(Doctor, BadUsageExitsWithTwo) {
  for (const wchar_t* arguments : {L"--dll", L"--repair", L"--yes"}) {
    const DoctorRun run = RunDoctor(arguments);
    EXPECT_EQ(run.exitCode, 2u) << arguments;
    EXPECT_TRUE(run.Has(L"usage: torvo-doctor")) << arguments;
  }
}

}  // namespace
}  // namespace torvo
