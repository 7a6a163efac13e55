#include "server/registration.h"

#include "TorvoShellMenu.h"
#include "common/com_boundary.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_script_source.h"
#include "registrar/register_mode.h"
#include "registrar/shared_keys.h"
#include "resources/resource_ids.h"
#include "resources/proxy_stub.h"
#include "server/module_handles.h"
#include "server/other_build.h"
#include "server/torvo_module.h"
#include "server/type_library_registration.h"

namespace torvo::server {

namespace {

// Applies or removes one of the module's scripts with the module path and the common variables.
// While the other build stays registered, a removal leaves it the keys both registry views share.
HRESULT ApplyScript(WORD number, bool registerFlag, const SubstitutionEntry* entries) {
  win32::Win32ScriptSource source(ResourceInstance());
  win32::Win32Registry registry;
  if (registerFlag || !OtherBuildRegistered()) {
    return ApplyRegistryResource(TheModule(), source, registry, number, registerFlag, entries);
  }
  SharedKeyKeeper keeper(registry);
  return ApplyRegistryResource(TheModule(), source, keeper, number, registerFlag, entries);
}

// The type library goes whole with the last build; beside the other build only this build's entry.
HRESULT RemoveTypeLibrary() {
  if (OtherBuildRegistered()) return UnregisterOwnTypeLibraryEntry(ResourceInstance());
  return UnregisterTypeLibrary(ResourceInstance());
}

HRESULT ApplyAppIdScript(bool registerFlag) {
  const SubstitutionEntry entries[] = {{u"APPID", win32::AsUtf16(kAppId)}, {nullptr, nullptr}};
  return ApplyScript(IDR_TORVO_APPID, registerFlag, entries);
}

// Runs `steps` with the thread locale set to the system default, so that the scripts convert with
// the system's ANSI code page whatever the caller's locale is.
template <class Steps>
HRESULT WithSystemLocale(Steps steps) {
  const LCID saved = ::GetThreadLocale();
  ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
  const HRESULT hr = steps();
  ::SetThreadLocale(saved);
  return hr;
}

HRESULT RegisterProxy() {
  return NdrDllRegisterProxy(g_proxyStubInstance, g_torvoProxyFileList, &IID_ITorvoShellContextMenu);
}

// The proxy is registered once more first, so that its removal finds every key it expects.
HRESULT UnregisterProxy() {
  const HRESULT hr = RegisterProxy();
  if (FAILED(hr)) return hr;
  return NdrDllUnregisterProxy(g_proxyStubInstance, g_torvoProxyFileList, &IID_ITorvoShellContextMenu);
}

// The result of a sequence of steps that all run: the first failure, else the latest result.
HRESULT KeepFirstFailure(HRESULT sofar, HRESULT next) { return FAILED(sofar) ? sofar : next; }

// The registry update of every class that has one, in the table's order: on registration up to
// the first failure, on removal every one.
HRESULT UpdateClassRegistries(bool registerFlag) {
  HRESULT hr = S_OK;
  for (const ClassEntry& entry : TheClassTable().Entries()) {
    if (entry.pfnUpdateRegistry == nullptr) continue;
    hr = KeepFirstFailure(hr, entry.pfnUpdateRegistry(registerFlag));
    if (registerFlag && FAILED(hr)) return hr;
  }
  return hr;
}

}  // namespace

HRESULT UpdateHandlerRegistry(bool registerFlag) { return ApplyScript(IDR_TORVO_HANDLER, registerFlag, nullptr); }

HRESULT RegisterServer() {
  bool approvalRefused = false;
  HRESULT hr = WithSystemLocale([&approvalRefused] {
    HRESULT step = ApplyAppIdScript(true);
    if (SUCCEEDED(step)) step = UpdateClassRegistries(true);
    approvalRefused = step == S_FALSE;
    if (SUCCEEDED(step)) step = RegisterTypeLibrary(ResourceInstance());
    return step;
  });
  if (FAILED(hr)) return hr;
  hr = RegisterProxy();
  if (FAILED(hr)) return hr;
  hr = RestoreOtherBuildsProxy();
  // A user's registration stands without the approval that only an administrator may write.
  return SUCCEEDED(hr) && approvalRefused ? S_FALSE : hr;
}

HRESULT UnregisterServer() {
  // Every step runs even when one before it failed, so that a part already gone (the type library,
  // say) does not leave the others behind.
  const HRESULT scripts = WithSystemLocale([] {
    HRESULT hr = UpdateClassRegistries(false);
    hr = KeepFirstFailure(hr, RemoveTypeLibrary());
    return KeepFirstFailure(hr, ApplyAppIdScript(false));
  });
  return KeepFirstFailure(scripts, UnregisterProxy());
}

}  // namespace torvo::server

using namespace torvo::server;

STDAPI DllRegisterServer() { return torvo::AtComBoundary(&RegisterServer); }

STDAPI DllUnregisterServer() { return torvo::AtComBoundary(&UnregisterServer); }

// "user" (any case, the whole text) switches this process to per-user registration for good.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  return torvo::AtComBoundary([&] {
    if (commandLine != nullptr && ::_wcsnicmp(commandLine, L"user", 5) == 0) torvo::g_registerPerUser = true;
    if (!install) return UnregisterServer();
    const HRESULT hr = RegisterServer();
    if (FAILED(hr)) UnregisterServer();
    return hr;
  });
}
