#pragma once
// The shell's popup menu in memory: the items inserted and the images given to them.
#include <string>
#include <vector>

#include "shellmenu/menu_target.h"

namespace torvo::fakes {

class FakeMenuTarget : public MenuTarget {
 public:
  void InsertItem(MenuHandle menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id,
                  const char16_t* text) override;
  void SetItemImage(MenuHandle menu, std::uint32_t position, std::uint32_t flags, BitmapHandle image) override;
  bool ShowsPackagedCommand() override { return packagedCommand; }
  bool packagedCommand = false;  // Windows 11's Explorer with the package registered

  struct Insertion {
    MenuHandle menu;
    std::uint32_t position;
    std::uint32_t flags;
    std::uintptr_t id;
    std::u16string text;
  };
  struct Images {
    MenuHandle menu;
    std::uint32_t position;
    std::uint32_t flags;
    BitmapHandle image;
  };
  std::vector<Insertion> insertions;
  std::vector<Images> images;
  std::vector<std::string>* journal = nullptr;  // shared record of calls, in order

 private:
  void Note(std::string call) {
    if (journal != nullptr) journal->push_back(std::move(call));
  }
};

}  // namespace torvo::fakes
