#pragma once
// The family name Windows gives a package: its name, "_", and the publisher's identifier, the first
// 64 bits of the SHA-256 of the publisher (UTF-16LE) written in Windows' base-32 alphabet
// ("CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, S=Washington, C=US" gives
// 8wekyb3d8bbwe). Computed here because PackageFamilyNameFromId is Windows 8's and the installer's
// step must name the family before any package of it exists.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace torvo::package {

// The SHA-256 of the bytes.
std::array<std::uint8_t, 32> Sha256(std::string_view bytes);

// The 13 characters of the publisher's identifier.
std::u16string PublisherId(std::u16string_view publisher);

// "ZebTorvo.TorvoShellMenu_<publisher id>".
std::u16string FamilyName(std::u16string_view name, std::u16string_view publisher);

}  // namespace torvo::package
