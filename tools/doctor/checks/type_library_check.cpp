// The registrations that the dual interface needs beyond the scripts: its type library, and the
// proxy/stub that marshals it. Explorer and COM read neither to load the handler: only programs that
// script or marshal the dispatch interface do. So what is wrong with them is a note.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "TorvoShellMenu.h"
#include "platform/win32/bstr.h"
#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/file_identity.h"
#include "tools/doctor/reads/registry_reads.h"

namespace torvo::doctor {

namespace {

// The file the registered type library 1.0 names for this (64-bit) process; empty when none.
std::wstring RegisteredTypeLibraryPath() {
  win32::Bstr path;
  if (FAILED(::QueryPathOfRegTypeLib(LIBID_TorvoShellMenuLib, 1, 0, LOCALE_NEUTRAL, path.Put()))) return {};
  std::wstring text(path.Get(), ::SysStringLen(path.Get()));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

// Another copy of the DLL that is whole serves the same library and interface.
bool AnotherWholeCopy(const std::wstring& path) { return !path.empty() && !FileFault(path); }

// A note about what the dispatch interface's callers lack.
void NoteBroken(Report& report, const wchar_t* check, const std::wstring& text) {
  report.Note(check, text +
                         L": Explorer does not read it to load the handler; programs that script the handler do "
                         L"(registering the DLL again brings it back)");
}

void CheckTypeLibrary(const DoctorContext& context, Report& report) {
  const std::wstring path = RegisteredTypeLibraryPath();
  const std::wstring library = L"TorvoShellMenuLib " + GuidText(LIBID_TorvoShellMenuLib) + L" 1.0";
  if (path.empty()) {
    NoteBroken(report, L"type library", library + L" is not registered");
  } else if (SameFile(path, context.dll)) {
    report.Ok(L"type library", library + L" is registered for the DLL");
  } else if (AnotherWholeCopy(path)) {
    report.Note(L"type library", library + L" is registered for another whole copy of the DLL, " + path);
  } else {
    NoteBroken(report, L"type library", library + L" is registered for another file, " + path);
  }
}

void CheckProxyStub(const DoctorContext& context, Report& report) {
  RegistryReader reader;
  const std::wstring iid = GuidText(IID_ITorvoShellContextMenu);
  const auto proxyClass = reader.ClassesText(L"Interface\\" + iid + L"\\ProxyStubClsid32", nullptr);
  if (!proxyClass || !SameName(*proxyClass, iid)) {
    NoteBroken(report, L"proxy/stub",
               L"Interface\\" + iid + L"\\ProxyStubClsid32 does not name the DLL's proxy/stub " + iid +
                   (proxyClass ? L" but " + *proxyClass : L" (missing)"));
    return;
  }
  const auto server = reader.ClassesText(L"CLSID\\" + iid + L"\\InprocServer32", nullptr);
  if (server && !SameFile(*server, context.dll) && AnotherWholeCopy(*server)) {
    report.Note(L"proxy/stub",
                L"ITorvoShellContextMenu " + iid + L" is marshalled by another whole copy of the DLL, " + *server);
    return;
  }
  if (!server || !SameFile(*server, context.dll)) {
    NoteBroken(report, L"proxy/stub",
               L"the proxy/stub class " + iid + L" is served by " + (server ? *server : std::wstring(L"no file")) +
                   L", not by the DLL");
    return;
  }
  report.Ok(L"proxy/stub", L"ITorvoShellContextMenu " + iid + L" is marshalled by the DLL's proxy/stub");
}

}  // namespace

void CheckTypeLibraryAndProxy(DoctorContext& context, const NamedPaths&, Report& report) {
  if (!context.dllReadable) {
    report.Note(L"type library", L"neither it nor the proxy/stub checked: the DLL file is not usable (see above)");
    return;
  }
  CheckTypeLibrary(context, report);
  CheckProxyStub(context, report);
}

}  // namespace torvo::doctor
