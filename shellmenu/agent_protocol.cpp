#include "shellmenu/agent_protocol.h"

#include <exception>

namespace torvo {

namespace {

// What the lookup's worker thread needs: the channel to search with and the caller's record.
struct FindWindowJob {
  AgentChannel& channel;
  FindWindowParam& param;
};

// The worker: one class search, the result stored in the caller's record. Nothing may escape a
// thread procedure, so a failing search leaves the result null.
void FindWindowThreadProc(void* context) {
  if (context == nullptr) return;
  FindWindowJob& job = *static_cast<FindWindowJob*>(context);
  try {
    job.param.hwndResult = job.channel.FindTopLevelWindow(job.param.lpClassName, job.param.lpWindowName);
  } catch (const std::exception&) {
    job.param.hwndResult = 0;
  }
}

// One question to the agent window: the id alone, no payload.
std::uint64_t Ask(AgentChannel& channel, WindowHandle window, std::uintptr_t id) {
  const CopyDataRecord record{id, 0, nullptr};
  return channel.SendCopyData(window, record);
}

}  // namespace

WindowHandle FindAgentWindow(AgentChannel& channel) {
  FindWindowParam param{kAgentWindowClass, nullptr, 0};
  FindWindowJob job{channel, param};
  // A thread that cannot be created is a missing agent: no retry, no search on this thread.
  if (!channel.RunOnNewThread(&FindWindowThreadProc, &job)) return 0;
  return param.hwndResult;
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
