#pragma once
// The DLL's own instance handle in the three copies the server keeps.
#include <windows.h>

namespace torvo::server {

// The DLL's image, known from static initialisation on: resources (bitmap, texts, scripts, type
// library) and the module file name for registration are taken from it.
HINSTANCE ResourceInstance();

// Stored by the entry point on every notification; the agent launch finds the DLL's folder with it.
extern HINSTANCE g_entryPointInstance;
// Stored on process attach; given to the proxy/stub registration.
extern HINSTANCE g_proxyStubInstance;

}  // namespace torvo::server
