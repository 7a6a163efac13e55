#pragma once
// The classes of minimal_handler.dll, named only by the tests and benchmarks that load it.
#include <windows.h>

// {6F1E8C2A-3B47-4D59-9A61-0C2E7B84D3F5}: the context-menu handler.
inline constexpr CLSID kMinimalHandlerClsid = {
    0x6f1e8c2a, 0x3b47, 0x4d59, {0x9a, 0x61, 0x0c, 0x2e, 0x7b, 0x84, 0xd3, 0xf5}};
// {6F1E8C2B-3B47-4D59-9A61-0C2E7B84D3F5}: the Explorer command.
inline constexpr CLSID kMinimalCommandClsid = {
    0x6f1e8c2b, 0x3b47, 0x4d59, {0x9a, 0x61, 0x0c, 0x2e, 0x7b, 0x84, 0xd3, 0xf5}};
