#include "shellmenu/agent_protocol.h"

namespace torvo {

namespace {

// One question to the agent window: the id alone, no payload.
std::uint64_t Ask(AgentChannel& channel, WindowHandle window, std::uintptr_t id) {
  const CopyDataRecord record{id, 0, nullptr};
  return channel.SendCopyData(window, record);
}

}  // namespace

WindowHandle FindAgentWindow(AgentChannel& channel) {
  // A worker that cannot be created or does not answer in time is a missing agent: no retry.
  return channel.FindTopLevelWindow(kAgentWindowClass, nullptr, kAgentLookupTimeoutMs);
}

bool QueryAgentReady(AgentChannel& channel, WindowHandle window) {
  return static_cast<std::uint32_t>(Ask(channel, window, AGENT_QUERY_READY)) != 0;
}

char16_t QueryVaultDriveLetter(AgentChannel& channel) {
  const WindowHandle window = FindAgentWindow(channel);
  if (window == 0) return 0;
  return static_cast<char16_t>(Ask(channel, window, AGENT_QUERY_DRIVE_LETTER) & 0xFFFFu);
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
