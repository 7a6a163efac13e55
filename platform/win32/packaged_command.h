#pragma once
// Whether Windows 11 shows the sparse package's Explorer command on the classic menu of this process.
#include <windows.h>

#include <string>

namespace torvo::win32 {

// The subject of the certificate that signed the module (null: the program), as Windows writes a
// package's publisher (X.500 keys, the most specific part first); the release's publisher of an
// unsigned package when it is not signed. The release signs the package with the same certificate.
std::wstring SignerPublisher(HMODULE module);

// True in Explorer's own process (explorer.exe) on Windows 11 (build 22000 or later) when the package
// ZebTorvo.TorvoShellMenu of the DLL's publisher is registered for the user. The publisher is the
// subject of the DLL's signer as Windows writes it (the release signs the package with the same
// certificate), or the release's publisher of an unsigned package. False wherever a step cannot be
// asked (Windows before 10, an unreadable signature): the classic item then stays.
bool PackagedCommandOnExplorersMenu();

}  // namespace torvo::win32
