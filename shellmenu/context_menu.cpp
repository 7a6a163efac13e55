#include "shellmenu/context_menu.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "common/text.h"
#include "shellmenu/dispatch.h"
#include "shellmenu/menu_decision.h"
#include "shellmenu/trusted_agent.h"

namespace torvo {

namespace {

inline constexpr HResult kOneCommandUsed = 1;  // MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1)

HResult OfferItem(const HandlerState& state, HandlerPlatform& platform, MenuHandle hmenu, std::uint32_t indexMenu,
                  std::uint32_t idCmdFirst) {
  // The item stays out when the package's command shows it already, when the selection is not
  // whole or empty, or when any selected item lies on the vault drive or is a protected place.
  if (platform.menu.ShowsPackagedCommand()) return kOk;
  if (!SelectionOffersItem(state, TrustedAgent(platform))) return kOk;
  const std::u16string text = platform.texts.LoadText(IDS_MENU_TEXT);
  platform.menu.InsertItem(hmenu, indexMenu, kMfByPosition | kMfString, idCmdFirst, text.c_str());
  platform.menu.SetItemImage(hmenu, indexMenu, kMfByPosition, state.menuBitmap);
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

// A verb's name, compared without regard to ASCII case, as the shell compares verbs.
template <class Unit>
bool IsOurVerb(const Unit* name) {
  std::size_t i = 0;
  for (; kVerb[i] != '\0'; ++i) {
    if (FoldAscii(static_cast<char16_t>(name[i])) != FoldAscii(static_cast<char16_t>(kVerb[i]))) return false;
  }
  return name[i] == 0;
}

// Command offset 0, or the verb: in lpVerbW when the caller sent one, else in lpVerb. A value up to
// 0xFFFF is an offset, anything above it the address of a name.
bool NamesTheCommand(const InvokeCommandRecord& record) {
  const auto verbW = reinterpret_cast<std::uintptr_t>(record.lpVerbW);
  if (record.lpVerbW != nullptr && verbW > 0xFFFFu) return IsOurVerb(record.lpVerbW);
  if (record.lpVerb > 0xFFFFu) return IsOurVerb(reinterpret_cast<const char*>(record.lpVerb));
  return record.lpVerb == 0;
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
  const bool verb = (uType & (kGcsHelpTextA | kGcsValidateA)) == 0;  // GCS_VERBA (0) or GCS_VERBW (4)
  if (!verb && (uType & (kGcsHelpTextA | kGcsUnicode)) == 0) return kInvalidArg;
  if (pszName == nullptr && cchMax != 0) return kInvalidArg;
  try {
    const std::u16string text =
        verb ? std::u16string(std::begin(kVerb), std::end(kVerb) - 1) : platform.texts.LoadText(IDS_HELP_TEXT);
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
  if (pici == nullptr || !NamesTheCommand(*pici)) return kInvalidArg;
  const InvokeOptions options{(pici->fMask & kCmicMaskNoAsync) != 0, (pici->fMask & kCmicMaskFlagNoUi) != 0,
                              pici->hwnd};
  try {
    // A caller may invoke without asking for the menu first: the same decision holds.
    if (!SelectionOffersItem(state, TrustedAgent(platform))) return kInvalidArg;
    // What the dispatch yields is not the shell's concern; the platform shows its own errors.
    SendSelectionToVault(state, platform, DirectMove::kOwnThread, options);
  } catch (const std::bad_alloc&) {
  }
  return kOk;
}

}  // namespace torvo
