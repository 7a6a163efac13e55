#pragma once
// Registration of the type library that the DLL carries as resource "TYPELIB" 1.
#include <windows.h>

namespace torvo::server {

// Loads the library from the DLL (or a .tlb beside it) and registers it: per user when the
// per-user mode is on and OLEAUT32 offers it, machine-wide otherwise.
HRESULT RegisterTypeLibrary(HINSTANCE module);
// Unregisters it, chosen by the same rule, with the id, version, locale and system of the library.
HRESULT UnregisterTypeLibrary(HINSTANCE module);
// Removes only this build's entry of the library (TypeLib\{LIBID}\1.0\0\win64 or win32), for
// while the other build stays registered and needs the rest: the platform's removal of a library
// also deletes the interface's keys, in both registry views (observed under Wine, whose
// registration of a library writes them into both views as Windows does), and with them the other
// build's proxy/stub registration.
HRESULT UnregisterOwnTypeLibraryEntry(HINSTANCE module);

}  // namespace torvo::server
