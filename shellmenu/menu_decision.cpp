#include "shellmenu/menu_decision.h"

#include <algorithm>

#include "common/text.h"
#include "shellmenu/canonical_path.h"

namespace torvo {

PathJudgement JudgePath(const char16_t* path, const VaultRoot& root, ExpandedProtectedPaths& places) {
  PathJudgement judgement{PathVerdict::kAllowed, 0, CanonicalPath(path, places.environment())};
  const std::u16string& canonical = judgement.canonical;
  if (IsAsciiLetter(root[0]) && IsOnDrive(canonical, root[0])) {
    judgement.verdict = PathVerdict::kOnVaultDrive;
  } else if (const std::optional<std::size_t> row = places.MatchingRow(canonical)) {
    judgement.verdict = PathVerdict::kProtected;
    judgement.row = *row;
  }
  return judgement;
}

bool PassesRulesWithoutAgent(const HandlerState& state, const Environment& environment, KnownFolderRows folders) {
  if (state.m_selection.empty() || !state.noneLeftOut) return false;
  ExpandedProtectedPaths places(environment, folders);
  return std::none_of(state.m_selection.begin(), state.m_selection.end(), [&](const std::u16string& path) {
    return places.MatchingRow(CanonicalPath(path, environment)).has_value();
  });
}

bool SelectionOffersItem(const HandlerState& state, const AgentLink& agent) {
  return PassesRulesWithoutAgent(state, agent.environment) && NoneOnTheVaultDrive(state, agent);
}

bool NoneOnTheVaultDrive(const HandlerState& state, const AgentLink& agent) {
  const char16_t letter = FoldAscii(QueryVaultDriveLetter(agent));
  return letter == 0 ||
         std::none_of(state.m_selection.begin(), state.m_selection.end(), [&](const std::u16string& path) {
           return IsOnDrive(CanonicalPath(path, agent.environment), letter);
         });
}

}  // namespace torvo
