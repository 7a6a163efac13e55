#include "shellmenu/explorer_command.h"

#include <new>
#include <optional>

#include "shellmenu/dispatch.h"
#include "shellmenu/menu_decision.h"
#include "shellmenu/selection.h"
#include "shellmenu/trusted_agent.h"

namespace torvo {

namespace {

// The items' selection as Initialize would take it from their drop-file list; nothing when the
// array names no item.
std::optional<HandlerState> CapturedSelection(ItemArray* items) {
  HandlerState state;
  if (Failed(CaptureItemSelection(items, state))) return std::nullopt;
  return state;
}

// The user's known folders are read (the platform's known-folder lookups, the dearest reads of a
// fresh process) only where they can decide: they are folders, so a selection of files alone is
// judged completely without them; and on the shell's UI thread a selection that passes without them
// is pending anyway, its complete judgement made when the shell asks again off that thread.
KnownFolderRows KnownFolderRowsFor(ItemArray& items, bool okToBeSlow) {
  return okToBeSlow && items.MayHoldAFolder() ? KnownFolderRows::kJudged : KnownFolderRows::kLeftOut;
}

}  // namespace

HResult GetExplorerCommandState(ItemArray* items, HandlerPlatform& platform, std::uint32_t* state, bool okToBeSlow) {
  if (state == nullptr) return kPointer;
  *state = kEcsHidden;
  try {
    const std::optional<HandlerState> selection = CapturedSelection(items);
    if (!selection ||
        !PassesRulesWithoutAgent(*selection, platform.environment, KnownFolderRowsFor(*items, okToBeSlow)))
      return kOk;
    if (!okToBeSlow) return kPending;  // the agent's lookup and question may take a second each
    if (NoneOnTheVaultDrive(*selection, TrustedAgent(platform))) *state = kEcsEnabled;
    return kOk;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

HResult InvokeExplorerCommand(ItemArray* items, HandlerPlatform& platform) {
  std::optional<HandlerState> selection;
  try {
    selection = CapturedSelection(items);
    // The menu's decision holds for a caller that invokes without asking for the state first.
    if (!selection || !SelectionOffersItem(*selection, TrustedAgent(platform))) return kInvalidArg;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
  // The classic command's dispatch, its result dropped the same way; only a direct move runs
  // elsewhere: in the mover's process, which outlives the host this command may live in.
  try {
    SendSelectionToVault(*selection, platform, DirectMove::kMoverProcess);
  } catch (const std::bad_alloc&) {
  }
  return kOk;
}

}  // namespace torvo
