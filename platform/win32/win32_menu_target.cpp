#include "platform/win32/win32_menu_target.h"

#include <windows.h>

#include "platform/win32/once_per_load.h"
#include "platform/win32/packaged_command.h"
#include "platform/win32/wide.h"

namespace torvo::win32 {

void Win32MenuTarget::InsertItem(MenuHandle menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id,
                                 const char16_t* text) {
  ::InsertMenuW(reinterpret_cast<HMENU>(menu), position, flags, id, AsWide(text));
}

void Win32MenuTarget::SetItemImage(MenuHandle menu, std::uint32_t position, std::uint32_t flags, BitmapHandle image) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_BITMAP;
  info.hbmpItem = reinterpret_cast<HBITMAP>(image);
  ::SetMenuItemInfoW(reinterpret_cast<HMENU>(menu), position, (flags & MF_BYPOSITION) != 0, &info);
}

namespace {

constinit OncePerLoad g_packagedCommandShown;

}  // namespace

bool Win32MenuTarget::ShowsPackagedCommand() { return g_packagedCommandShown.Answer(&PackagedCommandOnExplorersMenu); }

}  // namespace torvo::win32
