// The DLL entry point: records the module handle and refuses the load when a lock of the static
// objects could not be set up. Nothing else happens here.
#include <windows.h>

#include "server/module.h"
#include "server/module_handles.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  using namespace torvo::server;
  if (reason == DLL_PROCESS_ATTACH) g_proxyStubInstance = instance;
  g_entryPointInstance = instance;
  if (reason == DLL_PROCESS_ATTACH && g_initFailed) return FALSE;
  return TRUE;
}
