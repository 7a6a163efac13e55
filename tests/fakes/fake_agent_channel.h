#pragma once
// The running vault agent as the handler reaches it: a bounded window lookup by class and
// WM_COPYDATA questions, with the failures the platform can report.
#include <map>
#include <string>
#include <vector>

#include "shellmenu/agent_channel.h"

namespace torvo::fakes {

class FakeAgentChannel : public AgentChannel {
 public:
  // The agent's window; 0 while no agent runs.
  WindowHandle window = 0;
  // The window procedure's answer to each id; an id without an answer gets 0.
  std::map<std::uintptr_t, std::uint64_t> answers;
  // The lookup's worker cannot be started or does not finish within the bound.
  bool lookupTimesOut = false;
  // The window is gone right after a lookup has found it: later questions reach no window.
  bool vanishesAfterLookup = false;
  // The channel runs out of memory while it sends a question.
  bool sendThrowsBadAlloc = false;
  // The program the window's process runs: the agent beside FakeProgramStarter's DLL, unless set
  // otherwise (an impostor); nothing when empty (its process cannot be asked).
  std::u16string windowProgram = u"D:\\Apps\\Vault\\zebtorvofloat.exe";

  // Starts an agent whose window answers the readiness and drive-letter questions.
  void RunAgent(WindowHandle handle, std::uint64_t ready, std::uint64_t letter);

  WindowHandle FindTopLevelWindow(const char16_t* className, const char16_t* windowName,
                                  std::uint32_t timeoutMs) override;
  std::uint64_t SendCopyData(WindowHandle target, const CopyDataRecord& record) override;
  std::optional<std::u16string> WindowProgram(WindowHandle target) override;
  bool Reachable(WindowHandle) override { return reachable; }
  bool reachable = true;  // false: the agent runs at a higher integrity level

  struct Lookup {
    std::u16string className;
    bool windowNameNull;
    std::uint32_t timeoutMs;
  };
  struct Query {
    WindowHandle window;
    CopyDataRecord record;
  };
  std::vector<Lookup> lookups;
  std::vector<Query> queries;
  std::vector<std::uintptr_t> QueryIds() const;
  std::vector<std::string>* journal = nullptr;  // shared record of calls, in order

 private:
  void Note(std::string call) {
    if (journal != nullptr) journal->push_back(std::move(call));
  }
};

}  // namespace torvo::fakes
