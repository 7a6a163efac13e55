// The handler created in this 64-bit process as Explorer creates it, and asked for the two
// interfaces Explorer uses.
#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "TorvoShellMenu.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"
#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/file_identity.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/reads/server_file.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

namespace {

struct Creation {
  HRESULT created = E_FAIL;
  HRESULT contextMenu = E_FAIL;
};

// Through COM, or (`fromFile`) from the server file itself as COM would load it.
Creation Create(bool fromFile, const std::wstring& server) {
  Creation result;
  std::optional<ServerFile> file;
  if (fromFile) file.emplace(server);
  {
    win32::ComPtr<IShellExtInit> init;
    result.created = fromFile ? file->Create(CLSID_TorvoShellContextMenu, IID_IShellExtInit, init.PutVoid())
                              : ::CoCreateInstance(CLSID_TorvoShellContextMenu, nullptr, CLSCTX_INPROC_SERVER,
                                                   IID_IShellExtInit, init.PutVoid());
    if (SUCCEEDED(result.created)) {
      win32::ComPtr<IContextMenu> menu;
      result.contextMenu = init->QueryInterface(IID_IContextMenu, menu.PutVoid());
    }
  }
  return result;
}

}  // namespace

void CheckHandlerCreation(DoctorContext& context, const NamedPaths&, Report& report) {
  bool perUser = false;
  const auto server = RegistryReader().ClassesText(L"CLSID\\" + context.clsid + L"\\InprocServer32", nullptr, &perUser);
  if (!server) {
    report.Note(L"handler", L"not created: the class is not registered");
    return;
  }
  if (SameFile(*server, context.dll) && !context.dllReadable) {
    report.Note(L"handler", L"not created: the DLL file is not usable (see above)");
    return;
  }
  // A stale per-user registration is reported above; the machine-wide one is what Explorer loads
  // once it is gone.
  const std::wstring created = context.staleUser ? context.dll : *server;
  const std::wstring how = context.staleUser ? L"from the machine-wide registration, " + created
                           : perUser         ? L"from the user's registration, " + created
                                             : L"through COM, " + created;
  if (const std::optional<std::wstring> why = NotLoadedWhenElevated(context, created)) {
    report.Note(L"handler", *why);
    return;
  }
  const Remedy fix = RegisterAgain(context, created, perUser && !context.staleUser);
  const Creation creation = Create(perUser || context.staleUser, created);
  if (FAILED(creation.created)) {
    report.Problem(L"handler",
                   L"cannot be created in this 64-bit process (" + how + L"): " + StatusText(creation.created), fix);
  } else if (FAILED(creation.contextMenu)) {
    report.Problem(L"handler",
                   L"created (" + how + L"), but it does not answer IContextMenu: " + StatusText(creation.contextMenu),
                   fix);
  } else {
    report.Ok(L"handler", L"created in this 64-bit process (" + how + L"); it answers IShellExtInit and IContextMenu");
  }
}

}  // namespace torvo::doctor
