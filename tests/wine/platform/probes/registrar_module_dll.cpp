// A DLL that carries nothing but a registry script resource, for the registrar's Wine tests.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
