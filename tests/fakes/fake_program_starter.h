#pragma once
// The DLL's own path (GetModuleFileNameW) and the start of a program (ShellExecuteW), in memory.
#include <optional>
#include <string>
#include <vector>

#include "shellmenu/program_starter.h"

namespace torvo::fakes {

class FakeProgramStarter : public ProgramStarter {
 public:
  std::u16string modulePath = u"D:\\Apps\\Vault\\TorvoShellMenu.dll";
  bool modulePathFails = false;
  bool startThrowsBadAlloc = false;

  std::uint32_t GetOwnModulePath(char16_t* buffer, std::uint32_t size) override;
  void Start(const char16_t* file, const char16_t* parameters) override;

  struct StartCall {
    std::u16string file;
    std::u16string parameters;
  };
  std::vector<std::uint32_t> modulePathSizes;  // buffer sizes GetOwnModulePath was given
  std::vector<StartCall> starts;
  std::vector<std::string>* journal = nullptr;  // shared record of calls, in order

 private:
  void Note(std::string call) {
    if (journal != nullptr) journal->push_back(std::move(call));
  }
};

}  // namespace torvo::fakes
