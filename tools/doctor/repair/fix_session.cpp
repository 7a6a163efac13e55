#include "tools/doctor/repair/fix_session.h"

#include <windows.h>

#include <cwctype>
#include <string>
#include <vector>

#include "platform/win32/com_apartment.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_registry.h"
#include "tools/doctor/console.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/windows11_package.h"
#include "tools/doctor/reads/windows_installer.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

namespace {

class Win32RepairPlatform : public RepairPlatform {
 public:
  Registry& Keys() override { return registry_; }

  // As regsvr32 does it: the DLL loaded by its path, then its own entry point.
  HResult RegisterDll(const std::u16string& path, bool perUser) override {
    const win32::UniqueLibrary dll(
        ::LoadLibraryExW(win32::AsWide(path.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!dll) return HRESULT_FROM_WIN32(::GetLastError());
    FARPROC entry = ::GetProcAddress(dll.Get(), perUser ? "DllInstall" : "DllRegisterServer");
    if (entry == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    if (perUser)
      return reinterpret_cast<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(reinterpret_cast<void*>(entry))(TRUE, L"user");
    return reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(entry))();
  }

  // msiexec /fam: every file again, the machine's registry rows again; no window of its own.
  std::uint32_t ReinstallProduct(const std::u16string& productCode) override {
    const WindowsInstaller msi;
    const auto userInterface = msi.Find<decltype(::MsiSetInternalUI)>("MsiSetInternalUI");
    const auto reinstall = msi.Find<decltype(::MsiReinstallProductW)>("MsiReinstallProductW");
    if (userInterface == nullptr || reinstall == nullptr) return ERROR_INSTALL_SERVICE_FAILURE;
    userInterface(INSTALLUILEVEL_NONE, nullptr);
    return reinstall(win32::AsWide(productCode.c_str()), REINSTALLMODE_FILEREPLACE | REINSTALLMODE_MACHINEDATA);
  }

  std::uint32_t RegisterPackage(const std::u16string& packageFile) override {
    return RegisterPackageForUser(win32::AsWide(packageFile.c_str()));
  }

 private:
  win32::Win32Registry registry_;
};

constexpr wchar_t kAsAdministrator[] =
    L"; run it as administrator, or torvo-doctor --fix in a command prompt opened as administrator";

// The findings --fix leaves alone, each with why: an administrator's decision, or a fix by hand.
std::vector<FixRecord> LeftAlone(const Report& report) {
  std::vector<FixRecord> records;
  for (const Finding& finding : report.Findings()) {
    if (finding.repair.kind == RepairKind::kAdministrators) {
      records.push_back({finding.check + L": " + (finding.fix.empty() ? finding.text : finding.fix),
                         L"left as it is (an administrator's decision)"});
    } else if (finding.outcome == Outcome::kProblem && !finding.repair.Applies()) {
      records.push_back({finding.check + L": " + finding.fix, L"not applied (to be done by hand)"});
    }
  }
  return records;
}

std::wstring PlanText(const std::vector<Repair>& plan, const std::vector<FixRecord>& leftAlone) {
  std::wstring text = plan.empty() ? L"\ntorvo-doctor --fix: nothing to apply\n" : L"\ntorvo-doctor --fix applies:\n";
  for (const Repair& repair : plan) text += L"  " + CommandOf(repair) + L"\n";
  for (const FixRecord& record : leftAlone) text += L"  " + record.result + L": " + record.command + L"\n";
  return text;
}

bool Agreed(bool json) {
  Write(json ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE, L"Apply these fixes? [y/N] ");
  std::wstring answer = ReadLine();
  for (wchar_t& unit : answer) unit = static_cast<wchar_t>(std::towlower(unit));
  return answer == L"y" || answer == L"yes";
}

std::wstring ResultText(const RepairOutcome& outcome) {
  switch (outcome.result) {
    case RepairResult::kFixed:
      if (outcome.approvalRefused) return L"fixed for this user (the approval under HKLM needs an administrator)";
      return outcome.restartWindows ? L"fixed once Windows restarts" : L"fixed";
    case RepairResult::kNeedsAdministrator:
      return L"needs administrator";
    case RepairResult::kFailed:
      return L"failed: " + StatusText(outcome.status) +
             (outcome.restored ? L"; the registry is as it was" : L"; the registry could not be put back");
    case RepairResult::kUndone:
      return L"undone, as a later fix failed";
    case RepairResult::kNotApplied:
      return L"not applied: another fix of this run needs an administrator or failed";
  }
  return {};
}

// Applies the plan whole or not at all, in an apartment of its own (the checks' apartment has
// unloaded the DLL).
std::vector<FixRecord> Apply(const std::vector<Repair>& plan, bool json) {
  const win32::SingleThreadedApartment apartment;
  Win32RepairPlatform platform;
  std::vector<FixRecord> records;
  const std::vector<RepairOutcome> outcomes = ApplyRepairs(plan, platform);
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const RepairOutcome& outcome = outcomes[i];
    records.push_back({CommandOf(plan[i]), ResultText(outcome)});
    const bool admin = outcome.result == RepairResult::kNeedsAdministrator;
    if (!json)
      Write(STD_OUTPUT_HANDLE,
            records.back().result + L": " + records.back().command + (admin ? kAsAdministrator : L"") + L"\n");
  }
  return records;
}

}  // namespace

int RunFix(const DoctorOptions& options, const std::function<Checked()>& check) {
  const Checked before = check();
  std::vector<Repair> wanted;
  for (const Finding& finding : before.report.Findings()) {
    if (finding.outcome == Outcome::kProblem) wanted.push_back(finding.repair);
  }
  const std::vector<Repair> plan = PlanRepairs(wanted);
  const std::vector<FixRecord> leftAlone = LeftAlone(before.report);
  if (!options.json) Write(STD_OUTPUT_HANDLE, before.report.AsText() + PlanText(plan, leftAlone));
  std::vector<FixRecord> records;
  if (plan.empty() || !(options.yes || Agreed(options.json))) {
    for (const Repair& repair : plan) records.push_back({CommandOf(repair), L"not applied: declined"});
    records.insert(records.end(), leftAlone.begin(), leftAlone.end());
    if (options.json) Write(STD_OUTPUT_HANDLE, before.report.AsJson(before.context.dll, &records));
    if (!options.json && !plan.empty()) Write(STD_OUTPUT_HANDLE, L"nothing applied\n");
    return before.report.HasProblem() ? 1 : 0;
  }
  records = Apply(plan, options.json);
  const Checked after = check();
  records.insert(records.end(), leftAlone.begin(), leftAlone.end());
  Write(STD_OUTPUT_HANDLE, options.json ? after.report.AsJson(after.context.dll, &records)
                                        : L"\nafter the fixes:\n" + after.report.AsText());
  return after.report.HasProblem() ? 1 : 0;
}

}  // namespace torvo::doctor
