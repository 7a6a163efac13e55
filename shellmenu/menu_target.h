#pragma once
// The shell's popup menu as the handler adds its item to it.
#include <cstdint>

#include "shellmenu/handles.h"

namespace torvo {

inline constexpr std::uint32_t kMfByPosition = 0x400;  // MF_BYPOSITION
inline constexpr std::uint32_t kMfString = 0x0;        // MF_STRING

class MenuTarget {
 public:
  virtual ~MenuTarget() = default;
  // InsertMenuW(menu, position, flags, id, text); its result is not looked at.
  virtual void InsertItem(MenuHandle menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id,
                          const char16_t* text) = 0;
  // SetMenuItemInfoW(menu, position, by position when flags say so, MIIM_BITMAP with hbmpItem
  // `image`): the item's image, which the menu draws over its own background; its result is not
  // looked at.
  virtual void SetItemImage(MenuHandle menu, std::uint32_t position, std::uint32_t flags, BitmapHandle image) = 0;

  // Whether this menu shows the sparse package's command already: Windows 11 (build 22000 or
  // later) puts a registered package's command on the classic menu of Explorer's own process
  // (explorer.exe), so "Show more options" would show the item twice. Asked once per process
  // (GetPackagesByPackageFamily for the package's family, named by the DLL's signer), then kept.
  virtual bool ShowsPackagedCommand() = 0;
};

}  // namespace torvo
