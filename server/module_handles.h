#pragma once
// The DLL's own instance handle in the three copies the server keeps, and what a load reads once.
#include <windows.h>

#include "platform/win32/load_caches.h"

namespace torvo::server {

// The DLL's image, known from static initialisation on: resources (bitmap, texts, scripts, type
// library) and the module file name for registration are taken from it.
HINSTANCE ResourceInstance();

// What this load of the DLL reads once: the known folders and the agent's program.
win32::LoadCaches& LoadedCaches();

// Stored by the entry point on every notification; the agent launch finds the DLL's folder with it.
extern HINSTANCE g_entryPointInstance;
// Stored on process attach; given to the proxy/stub registration.
extern HINSTANCE g_proxyStubInstance;

}  // namespace torvo::server
