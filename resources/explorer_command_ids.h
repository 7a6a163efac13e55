#pragma once
// The identifiers of the Explorer command, the class that Windows 11's own context menu creates.
// The sparse package's manifest registers the class, so it is neither in the type library nor in
// a registry script of the DLL.
#include <guiddef.h>

namespace torvo {

// {FE350870-CCAE-43AD-926D-C10521847188}
inline constexpr CLSID CLSID_TorvoExplorerCommand = {
    0xFE350870, 0xCCAE, 0x43AD, {0x92, 0x6D, 0xC1, 0x05, 0x21, 0x84, 0x71, 0x88}};

// The command's canonical name, {9E3A079B-C758-434C-95FC-A7B28E9B7FCF}.
inline constexpr GUID kExplorerCommandCanonicalName = {
    0x9E3A079B, 0xC758, 0x434C, {0x95, 0xFC, 0xA7, 0xB2, 0x8E, 0x9B, 0x7F, 0xCF}};

}  // namespace torvo
