#pragma once
// The protocol with the running vault agent: its window, its two questions, the vault root.
#include <array>
#include <cstdint>

#include "shellmenu/agent_channel.h"

namespace torvo {

inline constexpr char16_t kAgentWindowClass[] = u"ZebTorvoFloat";
inline constexpr std::uintptr_t AGENT_QUERY_READY = 1004;
inline constexpr std::uintptr_t AGENT_QUERY_DRIVE_LETTER = 1005;
// How long the shell's thread waits for the lookup's worker: as long as for one query.
inline constexpr std::uint32_t kAgentLookupTimeoutMs = kAgentQueryTimeoutMs;

// The drive letter, ":\" and zeros: always followed by a second zero so that it can serve as a
// list ended by two zeros.
using VaultRoot = std::array<char16_t, 5>;

// Finds the agent's top-level window on a short-lived worker thread, waiting at most
// kAgentLookupTimeoutMs; 0 when there is none, the thread cannot be created or does not finish.
WindowHandle FindAgentWindow(AgentChannel& channel);

// Asks a found window whether the handler may move the selection itself: low 32 bits nonzero.
bool QueryAgentReady(AgentChannel& channel, WindowHandle window);

// Looks the agent up and asks for the vault's drive letter (low 16 bits of the answer); 0 when no
// agent window exists, without sending anything.
char16_t QueryVaultDriveLetter(AgentChannel& channel);

// Letter, ':' and '\' followed by zeros; ":\" for the letter 0.
VaultRoot BuildVaultRoot(char16_t letter);

}  // namespace torvo
