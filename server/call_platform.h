#pragma once
// The platform of one shell call on either class: texts from the DLL's resources, the agent
// started from the DLL's folder, and a move started on a thread of its own counted in the module's
// lock count until it ends.
#include "platform/win32/win32_handler_platform.h"
#include "server/module.h"
#include "server/module_handles.h"

namespace torvo::server {

class CallPlatform : public win32::Win32HandlerPlatform {
 public:
  CallPlatform()
      : Win32HandlerPlatform(ResourceInstance(), g_entryPointInstance, {&LockModule, &UnlockModule}, &LoadedCaches()) {}

 private:
  static void LockModule() { g_currentModule->Lock(); }
  static void UnlockModule() { g_currentModule->Unlock(); }
};

}  // namespace torvo::server
