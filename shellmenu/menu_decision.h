#pragma once
// Whether the menu item is offered for a selection: every selected path is judged on its own.
#include <cstddef>
#include <string>
#include <vector>

#include "shellmenu/agent_protocol.h"
#include "shellmenu/protected_paths.h"

namespace torvo {

enum class PathVerdict {
  kAllowed,       // neither on the vault drive nor protected
  kOnVaultDrive,  // its first unit is the vault's drive letter, A-Z without regard to case
  kProtected,     // a protected place; `row` says which
};

struct PathJudgement {
  PathVerdict verdict = PathVerdict::kAllowed;
  std::size_t row = 0;  // index into g_protectedPaths for kProtected
};

// Judges one path against the vault root and the protected places. The drive letter is compared
// without regard to case, as Windows names drives; with no agent the root begins with ':', which
// no path begins with.
PathJudgement JudgePath(const char16_t* path, const VaultRoot& root, ExpandedProtectedPaths& places);

// True when no entry of the selection lies on the vault drive or is protected.
bool SelectionAllowsItem(const std::vector<std::u16string>& selection, const VaultRoot& root,
                         ExpandedProtectedPaths& places);

}  // namespace torvo
