#pragma once
// The padlock as the image of a menu item (MIIM_BITMAP): drawn by the menu itself over its own
// background, light or dark, at the size of the screen's scale.
#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace torvo::win32 {

// Icon `iconId` of `instance` at the small-icon size for `dpi` (16 pixels at 96, 32 at 192) as a
// 32-bit top-down DIB section with premultiplied alpha, as menus draw item bitmaps with alpha;
// none when the icon cannot be loaded or drawn.
UniqueGdiObject MenuImage(HINSTANCE instance, int iconId, UINT dpi);

// The screen's DPI (LOGPIXELSX of its device context): what the menu's items are drawn at.
UINT ScreenDpi();

}  // namespace torvo::win32
