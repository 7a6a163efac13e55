#include "shellmenu/context_menu.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "shellmenu/dispatch.h"
#include "shellmenu/menu_decision.h"
#include "shellmenu/trusted_agent.h"

namespace torvo {

namespace {

inline constexpr HResult kOneCommandUsed = 1;  // MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1)

HResult OfferItem(const HandlerState& state, HandlerPlatform& platform, MenuHandle hmenu, std::uint32_t indexMenu,
                  std::uint32_t idCmdFirst) {
  // The item stays out when the selection is not whole or empty, or any selected item lies on the
  // vault drive or is a protected place.
  if (!SelectionOffersItem(state, TrustedAgent(platform))) return kOk;
  const std::u16string text = platform.texts.LoadText(IDS_MENU_TEXT);
  platform.menu.InsertItem(hmenu, indexMenu, kMfByPosition | kMfString, idCmdFirst, text.c_str());
  platform.menu.SetItemBitmaps(hmenu, indexMenu, kMfByPosition, state.menuBitmap, state.menuBitmap);
  return kOneCommandUsed;
}

// lstrcpynW: at most cchMax - 1 units and a zero into a buffer of cchMax wide units.
void CopyWide(char* pszName, std::u16string_view text, std::uint32_t cchMax) {
  if (cchMax == 0) return;
  const std::size_t units = std::min<std::size_t>(text.size(), cchMax - 1);
  const char16_t zero = u'\0';
  std::memcpy(pszName, text.data(), units * sizeof(char16_t));
  std::memcpy(pszName + units * sizeof(char16_t), &zero, sizeof(char16_t));
}

// The text in the thread's ANSI code page, then lstrcpynA into the caller's buffer. kFail, with
// nothing written, when the conversion fails.
HResult CopyAnsi(TextSource& texts, const std::u16string& text, char* pszName, std::uint32_t cchMax) {
  if (cchMax == 0) return kOk;  // nothing would be written
  const std::optional<std::string> converted = texts.ToThreadAnsi(text);
  if (!converted) return kFail;
  const std::size_t bytes = std::min<std::size_t>(std::strlen(converted->c_str()), cchMax - 1);
  std::memcpy(pszName, converted->data(), bytes);
  pszName[bytes] = '\0';
  return kOk;
}

}  // namespace

HResult QueryContextMenu(const HandlerState& state, HandlerPlatform& platform, MenuHandle hmenu,
                         std::uint32_t indexMenu, std::uint32_t idCmdFirst, std::uint32_t idCmdLast,
                         std::uint32_t uFlags) {
  if ((uFlags & (kCmfDefaultOnly | kCmfVerbsOnly)) != 0) return kOk;
  if (hmenu == 0) return kInvalidArg;
  // No identifier left to give: inserting idCmdFirst would collide with another handler's command.
  if (idCmdFirst > idCmdLast) return kOk;
  try {
    return OfferItem(state, platform, hmenu, indexMenu, idCmdFirst);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

HResult GetCommandString(HandlerPlatform& platform, std::uintptr_t idCmd, std::uint32_t uType, char* pszName,
                         std::uint32_t cchMax) {
  if (idCmd != 0) return kInvalidArg;
  if ((uType & (kGcsHelpTextA | kGcsUnicode)) == 0) return kInvalidArg;
  if (pszName == nullptr && cchMax != 0) return kInvalidArg;
  try {
    const std::u16string text = platform.texts.LoadText(IDS_HELP_TEXT);
    // The wide form answers the help text for every request, the verb request (4) included.
    if ((uType & kGcsUnicode) != 0) {
      CopyWide(pszName, std::u16string_view(text.c_str()), cchMax);
      return kOk;
    }
    return CopyAnsi(platform.texts, text, pszName, cchMax);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

HResult InvokeCommand(const HandlerState& state, HandlerPlatform& platform, const InvokeCommandRecord* pici) {
  if (pici == nullptr) return kInvalidArg;
  const std::uintptr_t verb = pici->lpVerb;
  if (verb > 0xFFFFu) return kInvalidArg;  // the address of a verb string, wherever it lies
  if (verb != 0) return kInvalidArg;       // an offset other than 0
  try {
    // A caller may invoke without asking for the menu first: the same decision holds.
    if (!SelectionOffersItem(state, TrustedAgent(platform))) return kInvalidArg;
    // What the dispatch yields is not the shell's concern; the platform shows its own errors.
    SendSelectionToVault(state, platform);
  } catch (const std::bad_alloc&) {
  }
  return kOk;
}

}  // namespace torvo
