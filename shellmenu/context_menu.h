#pragma once
// The handler's IContextMenu operations.
#include <cstdint>

#include "common/status.h"
#include "shellmenu/handler_platform.h"
#include "shellmenu/handler_state.h"

namespace torvo {

inline constexpr std::uint32_t kCmfDefaultOnly = 0x1;
inline constexpr std::uint32_t kCmfVerbsOnly = 0x2;
inline constexpr std::uint32_t kGcsHelpTextA = 0x1;
inline constexpr std::uint32_t kGcsValidateA = 0x2;
inline constexpr std::uint32_t kGcsUnicode = 0x4;
inline constexpr std::uint32_t kCmicMaskNoAsync = 0x00000100;   // CMIC_MASK_NOASYNC
inline constexpr std::uint32_t kCmicMaskFlagNoUi = 0x00000400;  // CMIC_MASK_FLAG_NO_UI

// The command's language-independent name, which callers pass back as lpVerb or lpVerbW.
inline constexpr char kVerb[] = "ZebTorvoMove";

// The fields of CMINVOKECOMMANDINFO(EX) that the handler reads. The verb is the command offset in
// the low word, or the address of the verb's name: ANSI in lpVerb, Unicode in lpVerbW when the
// caller sent the extended record with CMIC_MASK_UNICODE (null otherwise).
struct InvokeCommandRecord {
  std::uintptr_t lpVerb = 0;
  const char16_t* lpVerbW = nullptr;
  std::uint32_t fMask = 0;
  WindowHandle hwnd = 0;
};

// Inserts the item at indexMenu with idCmdFirst unless the decision (menu_decision.h) leaves it out
// or the shell has no identifier left (idCmdFirst > idCmdLast); 1 (one identifier used),
// 0 (none), kInvalidArg for a null menu, kOutOfMemory.
HResult QueryContextMenu(const HandlerState& state, HandlerPlatform& platform, MenuHandle hmenu,
                         std::uint32_t indexMenu, std::uint32_t idCmdFirst, std::uint32_t idCmdLast,
                         std::uint32_t uFlags);

// Copies the help text, or for a verb request (GCS_VERBA, GCS_VERBW) the verb, into pszName (wide
// with GCS_UNICODE, else ANSI); kOk, kInvalidArg (also for a null pszName with a nonzero cchMax),
// kFail when the ANSI conversion fails (nothing written), kOutOfMemory.
HResult GetCommandString(HandlerPlatform& platform, std::uintptr_t idCmd, std::uint32_t uType, char* pszName,
                         std::uint32_t cchMax);

// Runs the dispatch for command offset 0 or the verb (compared without regard to ASCII case) and
// drops its result; with CMIC_MASK_NOASYNC the move is done when it returns, with
// CMIC_MASK_FLAG_NO_UI nothing asks, and hwnd owns the progress window. kOk, or kInvalidArg for any
// other offset or verb, for a null record, and, nothing done, for a selection that the menu would
// not offer the item for.
HResult InvokeCommand(const HandlerState& state, HandlerPlatform& platform, const InvokeCommandRecord* pici);

}  // namespace torvo
