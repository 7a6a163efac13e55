#pragma once
// The protocol with the running vault agent: its window, its two questions, the vault root.
#include <array>
#include <cstdint>
#include <string>

#include "shellmenu/agent_channel.h"
#include "shellmenu/environment.h"

namespace torvo {

inline constexpr char16_t kAgentWindowClass[] = u"ZebTorvoFloat";
inline constexpr std::uintptr_t AGENT_QUERY_READY = 1004;
inline constexpr std::uintptr_t AGENT_QUERY_DRIVE_LETTER = 1005;
// How long the shell's thread waits for the lookup's worker: as long as for one query.
inline constexpr std::uint32_t kAgentLookupTimeoutMs = kAgentQueryTimeoutMs;

// The drive letter, ":\" and zeros: always followed by a second zero so that it can serve as a
// list ended by two zeros.
using VaultRoot = std::array<char16_t, 5>;

// The agent the handler trusts: a window of the agent's class counts only when its process runs
// `program`, the agent's program beside the DLL, compared as Windows compares paths. Any other
// program can make a window of that class and answer its questions.
struct AgentLink {
  AgentChannel& channel;
  const Environment& environment;
  std::u16string program;  // empty: no window is trusted
};

// Finds the agent's top-level window on a short-lived worker thread, waiting at most
// kAgentLookupTimeoutMs; 0 when there is none, the thread cannot be created or does not finish, and
// when the window found belongs to another program than the link's.
WindowHandle FindAgentWindow(const AgentLink& agent);

// Asks a found window whether the handler may move the selection itself: low 32 bits nonzero.
bool QueryAgentReady(AgentChannel& channel, WindowHandle window);

// Looks the agent up and asks for the vault's drive letter (low 16 bits of the answer); 0 when no
// agent window exists, without sending anything, and when the answer is no letter A-Z (either case).
char16_t QueryVaultDriveLetter(const AgentLink& agent);

// Letter, ':' and '\' followed by zeros; ":\" for the letter 0.
VaultRoot BuildVaultRoot(char16_t letter);

}  // namespace torvo
