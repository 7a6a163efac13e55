// The four keys through which Explorer finds the handler, read as Explorer reads them: through the
// classes view that Windows merges, where a key of the user's hides the machine's key of the same
// name.
#include <windows.h>

#include <string>

#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

void CheckHandlerKeys(DoctorContext& context, const NamedPaths&, Report& report) {
  RegistryReader reader;
  bool allNameTheClass = true;
  for (const HandlerKind& kind : kHandlerKinds) {
    const std::wstring key = HandlerKey(kind);
    bool fromUser = false;
    const std::optional<std::wstring> named = reader.ClassesText(key, nullptr, &fromUser);
    if (named && SameName(*named, context.clsid)) continue;
    allNameTheClass = false;
    if (!fromUser) continue;  // the machine's key, or none: the registration walk above judges it
    const std::wstring userKey = L"HKCU\\" + std::wstring(kClassesKey) + key;
    report.Problem(L"handler keys",
                   userKey + L" names " + (named ? *named : std::wstring(L"no class")) + L", not the handler " +
                       context.clsid + L"; it hides the machine's key of that name, so Explorer does not load the " +
                       L"handler for " + kind.what,
                   RemoveUserKey(key));
  }
  if (allNameTheClass) {
    report.Ok(L"handler keys",
              L"the keys Explorer reads for files, folders, shortcuts and Internet shortcuts "
              L"name the handler");
  }
}

}  // namespace torvo::doctor
