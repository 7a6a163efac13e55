#pragma once
// Registration of the type library that the DLL carries as resource "TYPELIB" 1.
#include <windows.h>

namespace torvo::server {

// Loads the library from the DLL (or a .tlb beside it) and registers it: per user when the
// per-user mode is on and OLEAUT32 offers it, machine-wide otherwise.
HRESULT RegisterTypeLibrary(HINSTANCE module);
// Unregisters it, chosen by the same rule, with the id, version, locale and system of the library.
HRESULT UnregisterTypeLibrary(HINSTANCE module);

}  // namespace torvo::server
