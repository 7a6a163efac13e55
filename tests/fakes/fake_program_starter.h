#pragma once
// The DLL's own path (GetModuleFileNameW) and the start of a program, outside the caller's package
// (CreateProcessW with the breakaway attribute) or through the shell (ShellExecuteW), in memory.
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
  // The platform refuses the breakaway attribute (as Wine and Windows before 10 1703 do).
  bool breakawayRefused = false;
  // The program asks for elevation: CreateProcessW answers ERROR_ELEVATION_REQUIRED.
  bool needsElevation = false;
  // Programs that neither start finds, and that are not there.
  std::vector<std::u16string> missingFiles;

  std::uint32_t GetOwnModulePath(char16_t* buffer, std::uint32_t size) override;
  StartOutcome StartOutsidePackage(const char16_t* file, const char16_t* commandLine) override;
  bool Start(const char16_t* file, const char16_t* parameters) override;
  bool Exists(const char16_t* file) override { return !IsMissing(file); }

  // A program that runs: its file, the parameters its command line holds after its quoted path
  // (as the started program reads them), and whether it started outside the package.
  struct StartCall {
    std::u16string file;
    std::u16string parameters;
    bool outsidePackage = false;
  };
  std::vector<std::u16string> breakawayCommandLines;  // what each breakaway start was given
  std::vector<std::uint32_t> modulePathSizes;         // buffer sizes GetOwnModulePath was given
  std::vector<StartCall> starts;
  std::vector<std::u16string> cannotFindMessages;  // the shell's, for each Start of a missing file
  std::vector<std::string>* journal = nullptr;     // shared record of calls, in order

 private:
  bool IsMissing(const char16_t* file) const;
  void Note(std::string call) {
    if (journal != nullptr) journal->push_back(std::move(call));
  }
};

}  // namespace torvo::fakes
