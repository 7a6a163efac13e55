#pragma once
// What the DLL writes into the registry and removes again.
#include <windows.h>

namespace torvo::server {

// The class entry's registry update: script 102 applied (true) or removed (false).
HRESULT UpdateHandlerRegistry(bool registerFlag);

// The whole registration and unregistration, as the exports run them.
HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace torvo::server
