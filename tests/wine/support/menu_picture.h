#pragma once
// Pictures of a real popup menu: TrackPopupMenu opens the menu as the shell opens a context menu, the
// menu's window draws itself into a bitmap (PrintWindow: the drawing it also puts on the screen),
// and the platform's PNG encoder (WIC) writes the bitmap to a file.
#include <windows.h>

#include <string>

namespace torvo::wine {

struct MenuPicture {
  bool written = false;  // the PNG file is complete
  SIZE size{};           // the open menu window's size, which is the picture's
};

// Opens `menu` at `at` (screen coordinates) with TrackPopupMenu, writes the picture of its window to
// `path` and closes it again without choosing anything. Works under any of Wine's graphics drivers:
// the window draws into a memory bitmap, not onto a display.
MenuPicture CaptureMenu(HMENU menu, POINT at, const std::wstring& path);

// The width and height of a picture file read back through the platform's decoder; 0 x 0 when it
// cannot be read.
SIZE PictureFileSize(const std::wstring& path);

}  // namespace torvo::wine
