#pragma once
// The per-menu state of one handler object: what Initialize captured and the menu image.
#include <string>
#include <vector>

#include "common/text.h"
#include "shellmenu/handles.h"

namespace torvo {

struct HandlerState {
  // Full paths of the selected items in the shell's order, duplicates kept.
  std::vector<std::u16string> m_selection;
  // False when the shell named an item that m_selection lacks: one that could not be delivered or
  // moved as it stands (too long, a wildcard). Such a selection is neither offered nor moved: the
  // user would believe the left-out item moved with the others.
  bool noneLeftOut = true;
  // Read buffer of every path Initialize takes; afterwards the path of the last item.
  char16_t lastItemPath[kMaxPath] = {};
  // The padlock at the screen's scale, 32-bit with alpha, lent to the menu as the item's image (not
  // the check-mark slots, whose bitmap 201 would show its white ground on a dark menu); owned by
  // the handler object.
  BitmapHandle menuBitmap = 0;
};

}  // namespace torvo
