#pragma once
// Opaque platform handles as portable code carries them (0 is the null handle).
#include <cstdint>

namespace torvo {

using WindowHandle = std::uintptr_t;  // HWND
using MenuHandle = std::uintptr_t;    // HMENU
using BitmapHandle = std::uintptr_t;  // HBITMAP

}  // namespace torvo
