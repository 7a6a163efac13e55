#pragma once
// Per-user registration: once DllInstall has been asked for "user", every registration and
// unregistration of the process writes the scripts' HKCR blocks under HKCU\Software\Classes.

namespace torvo {

// False when the module is loaded; set (never cleared) by DllInstall. The script expansion reads
// it afresh at every application.
extern bool g_registerPerUser;

}  // namespace torvo
