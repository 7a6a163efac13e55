// The registration for 32-bit programs: the class in the 32-bit registry view, which 64-bit
// Windows keeps apart from the 64-bit one in the classes' WOW6432Node, and the file it names.
#include <windows.h>

#include <optional>
#include <string>

#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

namespace {

constexpr wchar_t kCheck[] = L"registration for 32-bit programs";

// The 32-bit registration under `root`, whose InprocServer32 names `server`: the file, then the
// threading model.
void Judge(const DoctorContext& context, RegistryReader& reader, RegKey root, const std::wstring& inproc,
           const std::wstring& server, Report& report) {
  const bool perUser = root == kHkeyCurrentUser;
  const std::wstring shown = (perUser ? L"HKCU\\" : L"HKLM\\") + inproc;
  const std::wstring regsvr32 =
      std::wstring(L"%SystemRoot%\\SysWOW64\\regsvr32.exe ") + (perUser ? L"/n /i:user " : L"");
  if (const std::optional<std::wstring> fault = FileFault(server, true)) {
    report.Problem(
        kCheck, shown + L" names " + server + L", which " + *fault,
        InstallAgain(context,
                     L"install TorvoShellMenu32.dll of this release beside TorvoShellMenu.dll and register it "
                     L"there: " +
                         regsvr32 + L"\"<folder>\\TorvoShellMenu32.dll\""));
    return;
  }
  const std::optional<std::wstring> threading = reader.Text(root, inproc, L"ThreadingModel");
  if (!threading || !(SameName(*threading, L"Apartment") || SameName(*threading, L"Both"))) {
    report.Problem(kCheck, shown + L" has ThreadingModel " + threading.value_or(L"(missing)") + L", not Apartment",
                   InstallAgain(context, regsvr32 + Quoted(server) + L" again, then restart the program"));
    return;
  }
  report.Ok(kCheck, server + (perUser ? L" (for this user)" : L" (machine-wide)") +
                        L": a 32-bit image with the five entry points, ThreadingModel " + *threading);
}

}  // namespace

void CheckRegistrationFor32BitPrograms(DoctorContext& context, const NamedPaths&, Report& report) {
  // As COM finds it for a 32-bit program: the user's registration before the machine's, each in the
  // 32-bit view's own node of the classes. (Wine keeps the user's classes in one view: there the
  // user's node stays empty.)
  RegistryReader reader;
  const std::wstring inproc = kClassesKey + (L"WOW6432Node\\CLSID\\" + context.clsid + L"\\InprocServer32");
  for (const RegKey root : {kHkeyCurrentUser, kHkeyLocalMachine}) {
    if (!reader.KeyExists(root, inproc)) continue;
    Judge(context, reader, root, inproc, reader.Text(root, inproc, nullptr).value_or(L""), report);
    return;
  }
  report.Note(kCheck,
              L"none: 32-bit programs (the Open and Save dialogs of 32-bit Office, ...) do not show the item; "
              L"%SystemRoot%\\SysWOW64\\regsvr32.exe TorvoShellMenu32.dll registers it");
}

}  // namespace torvo::doctor
