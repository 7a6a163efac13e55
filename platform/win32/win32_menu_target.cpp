#include "platform/win32/win32_menu_target.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace torvo::win32 {

void Win32MenuTarget::InsertItem(MenuHandle menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id,
                                 const char16_t* text) {
  ::InsertMenuW(reinterpret_cast<HMENU>(menu), position, flags, id, AsWide(text));
}

void Win32MenuTarget::SetItemBitmaps(MenuHandle menu, std::uint32_t position, std::uint32_t flags,
                                     BitmapHandle unchecked, BitmapHandle checked) {
  ::SetMenuItemBitmaps(reinterpret_cast<HMENU>(menu), position, flags, reinterpret_cast<HBITMAP>(unchecked),
                       reinterpret_cast<HBITMAP>(checked));
}

}  // namespace torvo::win32
