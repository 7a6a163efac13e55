#pragma once
// Whether the menu item is offered for a selection: every selected path is judged on its own.
#include <cstddef>
#include <string>

#include "shellmenu/agent_protocol.h"
#include "shellmenu/handler_state.h"
#include "shellmenu/protected_paths.h"

namespace torvo {

enum class PathVerdict {
  kAllowed,       // neither on the vault drive nor protected
  kOnVaultDrive,  // on the vault's drive (canonical_path.h: IsOnDrive)
  kProtected,     // a protected place; `row` says which
};

struct PathJudgement {
  PathVerdict verdict = PathVerdict::kAllowed;
  std::size_t row = 0;       // index into g_protectedPaths for kProtected
  std::u16string canonical;  // the form of the path that was judged (canonical_path.h)
};

// Judges one path, in its canonical form, against the vault root and the protected places. The
// drive letter is compared without regard to case, as Windows names drives; with no agent the root
// begins with ':', which names no drive.
PathJudgement JudgePath(const char16_t* path, const VaultRoot& root, ExpandedProtectedPaths& places);

// The part of the decision that needs no agent: true when the selection names at least one item,
// left none out (handler_state.h), and no entry is a protected place (expanded at most once; the
// known folders' rows as `folders` says).
bool PassesRulesWithoutAgent(const HandlerState& state, const Environment& environment,
                             KnownFolderRows folders = KnownFolderRows::kJudged);

// Whether no entry lies on the vault drive, for which the agent is asked once.
bool NoneOnTheVaultDrive(const HandlerState& state, const AgentLink& agent);

// The decision of both menus, and of both commands before they act: both of the above, the agent
// asked only when the rules without it pass.
bool SelectionOffersItem(const HandlerState& state, const AgentLink& agent);

}  // namespace torvo
