// The server's static objects, defined in one place so that they are built in this order when
// the DLL is loaded (and destroyed in the reverse order when it is unloaded): the C++ runtime's
// heap reserve, the resource record, what the load reads once, the class entries and their table,
// the module object. The
// protected-place table is a constant and needs no construction.
#include "TorvoShellMenu.h"
#include "platform/win32/wide.h"
#include "server/context_menu_handler.h"
#include "server/critical_section.h"
#include "server/explorer_command_object.h"
#include "server/module_handles.h"
#include "server/registration.h"
#include "server/runtime_reserve.h"
#include "server/torvo_module.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace torvo::server {

namespace {

// GCC's C++ runtime takes its exception reserve (73 KB of the CRT heap) when the DLL is loaded and
// never gives it back by itself: every load and unload of the DLL in a long-running Explorer would
// leave one behind. Built first, this record is destroyed after the server's other static objects
// (server/runtime_reserve.h).
struct RuntimeHeap {
  RuntimeHeap() = default;
  RuntimeHeap(const RuntimeHeap&) = delete;
  RuntimeHeap& operator=(const RuntimeHeap&) = delete;
  ~RuntimeHeap() { ReleaseRuntimeReserve(); }
};

RuntimeHeap g_runtimeHeap;

// The module handle and the instance from which resources are loaded: this DLL's own image.
struct ResourceRecord {
  ResourceRecord() {
    if (!m_csResource.Init()) g_initFailed = true;
  }
  HINSTANCE m_hInstResource = reinterpret_cast<HINSTANCE>(&__ImageBase);
  CComCriticalSection m_csResource;
};

ResourceRecord g_resources;

win32::LoadCaches g_loadCaches;

// The classic handler, registered by its script; the Explorer command, registered by the sparse
// package's manifest and so by no script of the DLL.
ClassEntry g_classEntries[] = {
    {&CLSID_TorvoShellContextMenu,
     &UpdateHandlerRegistry,
     &CreateCachedClassFactory,
     &CTorvoShellContextMenu::CreateInstance,
     {}},
    {&CLSID_TorvoExplorerCommand, nullptr, &CreateCachedClassFactory, &CTorvoExplorerCommand::CreateInstance, {}},
};

ClassTable g_classTable(g_classEntries);

CTorvoShellMenuModule g_module;

}  // namespace

HINSTANCE g_entryPointInstance = nullptr;
HINSTANCE g_proxyStubInstance = nullptr;

HINSTANCE ResourceInstance() { return g_resources.m_hInstResource; }
CTorvoShellMenuModule& TheModule() { return g_module; }
win32::LoadCaches& LoadedCaches() { return g_loadCaches; }
ClassTable& TheClassTable() { return g_classTable; }

HResult CTorvoShellMenuModule::AddCommonSubstitutions(IRegistrarBase& registrar) {
  return registrar.AddSubstitution(u"APPID", win32::AsUtf16(kAppId));
}

}  // namespace torvo::server
