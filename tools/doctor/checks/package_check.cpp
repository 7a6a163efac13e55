// Windows 11's sparse package, through which its first menu creates the Explorer command: whether
// it is registered for this user, in the DLL's version, with the DLL's folder as its external
// location. Only Windows 11 has that menu; elsewhere the classic item is the one there is. An
// administrator who installed with WINDOWS11_MENU=0 chose the classic item alone: a note.
#include <string>

#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/file_identity.h"
#include "tools/doctor/reads/windows11_package.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

namespace {

constexpr wchar_t kCheck[] = L"package";

std::wstring WithoutTrailingBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

// What keeps the registered package from serving the DLL, or nothing.
std::wstring PackageFault(const DoctorContext& context, const RegisteredPackage& package) {
  const std::wstring folder = BesideDll(context.dll, L"");
  if (package.externalLocation.empty() ||
      !SameFile(WithoutTrailingBackslash(package.externalLocation), WithoutTrailingBackslash(folder))) {
    return L"its external location is " + (package.externalLocation.empty() ? L"none" : package.externalLocation) +
           L", not the DLL's folder " + folder + L": Windows 11's first menu loads another copy of the DLL, or none";
  }
  const auto version = FileVersion(context.dll);
  if (version && VersionText(*version) != package.version) {
    return L"it is version " + package.version + L", the DLL " + VersionText(*version);
  }
  return {};
}

}  // namespace

void CheckWindows11Package(DoctorContext& context, const NamedPaths&, Report& report) {
  const auto build = WindowsBuild();
  if (!build || *build < kWindows11Build) {
    report.Note(kCheck, L"not looked for: Windows build " + (build ? std::to_wstring(*build) : L"unknown") +
                            L" has no Windows 11 first menu (build 22000 and later); the classic item serves");
    return;
  }
  const std::wstring name = kPackageName;
  if (MenuTurnedOff()) {  // the installer's record of the administrator's WINDOWS11_MENU=0: --fix leaves it
    report.Note(kCheck, name +
                            L" is turned off by the administrator (WINDOWS11_MENU=0): the item shows under "
                            L"Show more options; the installer, the sign-in step and --fix register no package");
    return;
  }
  const PackageAnswer answer = RegisteredPackages();
  if (answer.failure) {
    report.Note(kCheck, L"not known whether " + name + L" is registered for this user: " + *answer.failure);
    return;
  }
  if (answer.packages.empty()) {
    report.Problem(kCheck,
                   name + L" is not registered for this user: Windows 11 shows the item only under Show more options",
                   RegisterPackage(context));
    return;
  }
  const RegisteredPackage& package = answer.packages.front();
  const std::wstring fault = PackageFault(context, package);
  if (!fault.empty()) {
    report.Problem(kCheck, name + L" is registered for this user, but " + fault, RegisterPackage(context));
    return;
  }
  context.packageRegistered = true;
  report.Ok(kCheck, name + L" " + package.version + L" is registered for this user, its external location " +
                        package.externalLocation);
}

}  // namespace torvo::doctor
