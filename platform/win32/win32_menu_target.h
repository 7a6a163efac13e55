#pragma once
// A popup menu of the window manager.
#include "shellmenu/menu_target.h"

namespace torvo::win32 {

class Win32MenuTarget : public MenuTarget {
 public:
  void InsertItem(MenuHandle menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id,
                  const char16_t* text) override;
  void SetItemImage(MenuHandle menu, std::uint32_t position, std::uint32_t flags, BitmapHandle image) override;
  bool ShowsPackagedCommand() override;
};

}  // namespace torvo::win32
