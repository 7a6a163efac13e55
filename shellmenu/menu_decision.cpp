#include "shellmenu/menu_decision.h"

#include <algorithm>

#include "common/text.h"

namespace torvo {

PathJudgement JudgePath(const char16_t* path, const VaultRoot& root, ExpandedProtectedPaths& places) {
  if (FoldAscii(root[0]) == FoldAscii(path[0])) return {PathVerdict::kOnVaultDrive, 0};
  const std::optional<std::size_t> row = places.MatchingRow(path);
  if (row) return {PathVerdict::kProtected, *row};
  return {};
}

bool SelectionOffersItem(const std::vector<std::u16string>& selection, AgentChannel& agent,
                         const Environment& environment) {
  const VaultRoot root = BuildVaultRoot(QueryVaultDriveLetter(agent));
  ExpandedProtectedPaths places(environment);
  return std::all_of(selection.begin(), selection.end(), [&](const std::u16string& path) {
    return JudgePath(path.c_str(), root, places).verdict == PathVerdict::kAllowed;
  });
}

}  // namespace torvo
