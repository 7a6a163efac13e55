#pragma once
// The registration of this DLL's other build: the 32-bit TorvoShellMenu32.dll beside the 64-bit
// TorvoShellMenu.dll, and the other way round. 64-bit Windows keeps each build's class, interface
// and approval in its own registry view and shares the other classes keys between the two views
// (registrar/shared_keys.h), so both builds' registrations hold the shared ones.
#include <windows.h>

namespace torvo::server {

// Whether the other build's class is registered in the other view, in the classes that this
// process's registration mode writes (the machine's, or the user's): its InprocServer32 names a
// file other than this DLL. False on 32-bit Windows, which has one view.
bool OtherBuildRegistered();

// Registering a type library also writes the interface's keys into the other view, naming the
// platform's own marshaler. When the other build's proxy/stub is registered there, its interface
// is pointed back at it. S_OK when there is nothing to restore.
HRESULT RestoreOtherBuildsProxy();

}  // namespace torvo::server
