#include "shellmenu/explorer_command.h"

#include <algorithm>
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

// At most this many items are asked whether they are files: beyond, the known folders (read once
// per load) cost less than asking the file system item by item.
constexpr std::size_t kItemsAskedAtMost = 16;

// The user's known folders are read (the platform's known-folder lookups, the dearest reads of a
// fresh process) only where they can decide. On the shell's UI thread a selection that passes
// without them is pending anyway: its complete judgement is made when the shell asks again off that
// thread. Off it, a few items that each name an existing file are judged completely without them:
// every known folder is a folder.
KnownFolderRows KnownFolderRowsFor(const HandlerState& selection, const Environment& environment, bool okToBeSlow) {
  if (!okToBeSlow) return KnownFolderRows::kLeftOut;
  const std::vector<std::u16string>& paths = selection.m_selection;
  if (paths.size() > kItemsAskedAtMost) return KnownFolderRows::kJudged;
  const bool filesAlone =
      std::all_of(paths.begin(), paths.end(), [&](const std::u16string& path) { return environment.NamesAFile(path); });
  return filesAlone ? KnownFolderRows::kLeftOut : KnownFolderRows::kJudged;
}

}  // namespace

HResult GetExplorerCommandState(ItemArray* items, HandlerPlatform& platform, std::uint32_t* state, bool okToBeSlow) {
  if (state == nullptr) return kPointer;
  *state = kEcsHidden;
  try {
    const std::optional<HandlerState> selection = CapturedSelection(items);
    if (!selection || !PassesRulesWithoutAgent(*selection, platform.environment,
                                               KnownFolderRowsFor(*selection, platform.environment, okToBeSlow)))
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
