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
inline constexpr std::uint32_t kGcsUnicode = 0x4;

// The one field of CMINVOKECOMMANDINFO that the handler reads.
struct InvokeCommandRecord {
  std::uintptr_t lpVerb = 0;
};

// Inserts the item at indexMenu with idCmdFirst unless the decision (menu_decision.h) leaves it out
// or the shell has no identifier left (idCmdFirst > idCmdLast); 1 (one identifier used),
// 0 (none), kInvalidArg for a null menu, kOutOfMemory.
HResult QueryContextMenu(const HandlerState& state, HandlerPlatform& platform, MenuHandle hmenu,
                         std::uint32_t indexMenu, std::uint32_t idCmdFirst, std::uint32_t idCmdLast,
                         std::uint32_t uFlags);

// Copies the help text into pszName (wide with GCS_UNICODE, else ANSI); kOk, kInvalidArg (also for
// a null pszName with a nonzero cchMax), kFail when the ANSI conversion fails (nothing written),
// kOutOfMemory.
HResult GetCommandString(HandlerPlatform& platform, std::uintptr_t idCmd, std::uint32_t uType, char* pszName,
                         std::uint32_t cchMax);

// Runs the dispatch for command offset 0 and drops its result; kOk, or kInvalidArg for anything
// else (any value above 0xFFFF is the address of a verb string), for a null record, and, nothing
// done, for a selection that the menu would not offer the item for.
HResult InvokeCommand(const HandlerState& state, HandlerPlatform& platform, const InvokeCommandRecord* pici);

}  // namespace torvo
