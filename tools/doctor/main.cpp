// torvo-doctor.exe: answers "why doesn't the menu item show?" in one command. It reads the DLL's
// file, how the product was installed, its registration, the shell's lists and policy, creates the
// handler, asks the agent for its vault letter and judges the given paths, and reports each finding
// on one line. Without --fix it only reads: nothing is registered, repaired or written.
//
//   torvo-doctor [--dll PATH] [--json] [--fix [--yes]] [PATH...]
//
// Exit code 0 when nothing is (or, after --fix, is left) a problem, 1 when something is, 2 for a
// command line it cannot read.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/com_apartment.h"
#include "tools/doctor/console.h"
#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_options.h"
#include "tools/doctor/repair/fix_session.h"

namespace {

using namespace torvo::doctor;

// Every DLL the doctor loads from now on (msi.dll, version.dll on its first call, what they load)
// comes from System32: support desks run it from download folders, where a DLL of a system name
// may have been planted. The doctor imports Windows' known DLLs alone, which never come from
// beside it. SetDefaultDllDirectories is Windows 8's (7's with KB2533623).
void LoadSystemDllsFromSystem32Only() {
  using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDirectoriesFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Every check, in an apartment of its own: leaving it unloads the DLL that COM loaded.
Checked RunChecks(const DoctorOptions& options) {
  const torvo::win32::SingleThreadedApartment apartment;
  Checked checked{FindDll(options.dll), {}};
  DoctorContext& context = checked.context;
  Report& report = checked.report;
  for (const Check check : kChecks) check(context, options.paths, report);
  return checked;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  LoadSystemDllsFromSystem32Only();
  const DoctorOptions options = ParseDoctorOptions(std::vector<std::wstring>(argv + 1, argv + argc));
  if (!options.error.empty()) {
    Write(STD_ERROR_HANDLE, L"torvo-doctor: " + options.error + L"\n" + kUsage);
    return 2;
  }
  if (options.help) {
    Write(STD_OUTPUT_HANDLE, kUsage);
    return 0;
  }
  if (options.fix) return RunFix(options, [&options] { return RunChecks(options); });
  const Checked checked = RunChecks(options);
  Write(STD_OUTPUT_HANDLE, options.json ? checked.report.AsJson(checked.context.dll) : checked.report.AsText());
  return checked.report.HasProblem() ? 1 : 0;
}
