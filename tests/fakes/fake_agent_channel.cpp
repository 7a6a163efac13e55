#include "tests/fakes/fake_agent_channel.h"

#include <new>

namespace torvo::fakes {

void FakeAgentChannel::RunAgent(WindowHandle handle, std::uint64_t ready, std::uint64_t letter) {
  window = handle;
  answers[1004] = ready;
  answers[1005] = letter;
}

WindowHandle FakeAgentChannel::FindTopLevelWindow(const char16_t* className, const char16_t* windowName,
                                                  std::uint32_t timeoutMs) {
  Note(lookupTimesOut ? "find times out" : "find");
  lookups.push_back({className == nullptr ? u"" : className, windowName == nullptr, timeoutMs});
  if (lookupTimesOut) return 0;
  const WindowHandle found = (className != nullptr && std::u16string(className) == u"ZebTorvoFloat") ? window : 0;
  if (vanishesAfterLookup) window = 0;
  return found;
}

std::uint64_t FakeAgentChannel::SendCopyData(WindowHandle target, const CopyDataRecord& record) {
  Note("send " + std::to_string(record.dwData));
  queries.push_back({target, record});
  if (sendThrowsBadAlloc) throw std::bad_alloc();
  // A window that is gone answers nothing: the send yields 0.
  if (target == 0 || target != window) return 0;
  const auto answer = answers.find(record.dwData);
  return answer == answers.end() ? 0 : answer->second;
}

std::optional<std::u16string> FakeAgentChannel::WindowProgram(WindowHandle target) {
  if (target == 0 || target != window || windowProgram.empty()) return std::nullopt;
  return windowProgram;
}

std::vector<std::uintptr_t> FakeAgentChannel::QueryIds() const {
  std::vector<std::uintptr_t> ids;
  for (const Query& query : queries) ids.push_back(query.record.dwData);
  return ids;
}

}  // namespace torvo::fakes
