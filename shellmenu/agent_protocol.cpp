#include "shellmenu/agent_protocol.h"

#include <optional>

#include "common/text.h"
#include "shellmenu/canonical_path.h"

namespace torvo {

namespace {

// One question to the agent window: the id alone, no payload.
std::uint64_t Ask(AgentChannel& channel, WindowHandle window, std::uintptr_t id) {
  const CopyDataRecord record{id, 0, nullptr};
  return channel.SendCopyData(window, record);
}

bool RunsTheAgentsProgram(const AgentLink& agent, WindowHandle window) {
  if (agent.program.empty()) return false;
  const std::optional<std::u16string> program = agent.channel.WindowProgram(window);
  return program && agent.environment.EqualIgnoringCase(CanonicalPath(*program, agent.environment),
                                                        CanonicalPath(agent.program, agent.environment));
}

}  // namespace

WindowHandle FindAgentWindow(const AgentLink& agent) {
  // A worker that cannot be created or does not answer in time is a missing agent: no retry.
  const WindowHandle window = agent.channel.FindTopLevelWindow(kAgentWindowClass, nullptr, kAgentLookupTimeoutMs);
  if (window == 0 || !RunsTheAgentsProgram(agent, window)) return 0;
  return window;
}

bool QueryAgentReady(AgentChannel& channel, WindowHandle window) {
  return static_cast<std::uint32_t>(Ask(channel, window, AGENT_QUERY_READY)) != 0;
}

char16_t QueryVaultDriveLetter(const AgentLink& agent) {
  const WindowHandle window = FindAgentWindow(agent);
  if (window == 0) return 0;
  const auto letter = static_cast<char16_t>(Ask(agent.channel, window, AGENT_QUERY_DRIVE_LETTER) & 0xFFFFu);
  return IsAsciiLetter(letter) ? letter : 0;
}

VaultRoot BuildVaultRoot(char16_t letter) {
  VaultRoot root{};
  root[0] = letter;
  const std::size_t end = letter == 0 ? 0 : 1;  // ":\" goes at the first zero
  root[end] = u':';
  root[end + 1] = u'\\';
  return root;
}

}  // namespace torvo
