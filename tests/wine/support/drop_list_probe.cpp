#include "tests/wine/support/drop_list_probe.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/win32/wide.h"
#include "platform/win32/win32_drop_files.h"
#include "shellmenu/selection.h"
#include "tests/wine/support/memory_data_object.h"

namespace torvo::wine {

std::vector<std::wstring> DeliveredByThePlatform(const std::vector<std::uint8_t>& block) {
  MemoryDataObject object(block, TYMED_HGLOBAL);
  const auto drop = static_cast<HDROP>(object.Block());
  std::vector<std::wstring> items;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
    wchar_t buffer[MAX_PATH] = {};
    const UINT written = ::DragQueryFileW(drop, i, buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH && written == length) items.emplace_back(buffer, written);
  }
  return items;
}

std::vector<std::wstring> CapturedByTheHandler(const std::vector<std::uint8_t>& block) {
  MemoryDataObject object(block, TYMED_HGLOBAL);
  HandlerState state;
  {
    win32::Win32DropFiles drop(&object);
    if (CaptureSelection(&drop, state) != kOk) return {};
  }
  std::vector<std::wstring> items;
  for (const std::u16string& path : state.m_selection) items.emplace_back(win32::AsWide(path.c_str()), path.size());
  return items;
}

}  // namespace torvo::wine
