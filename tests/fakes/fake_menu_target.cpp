#include "tests/fakes/fake_menu_target.h"

namespace torvo::fakes {

void FakeMenuTarget::InsertItem(MenuHandle menu, std::uint32_t position, std::uint32_t flags, std::uintptr_t id,
                                const char16_t* text) {
  Note("insert");
  insertions.push_back({menu, position, flags, id, text == nullptr ? u"" : text});
}

void FakeMenuTarget::SetItemImage(MenuHandle menu, std::uint32_t position, std::uint32_t flags, BitmapHandle image) {
  Note("bitmaps");
  images.push_back({menu, position, flags, image});
}

}  // namespace torvo::fakes
