#pragma once
// The DLL's own location and the start of another program.
#include <cstdint>

namespace torvo {

enum class StartOutcome { kStarted, kNotStarted, kNeedsElevation };

class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;

  // GetModuleFileNameW on the DLL's own module handle into `size` units: the length written,
  // 0 on failure, `size` when the path was cut.
  virtual std::uint32_t GetOwnModulePath(char16_t* buffer, std::uint32_t size) = 0;

  // CreateProcessW(file, commandLine, no inheritance, EXTENDED_STARTUPINFO_PRESENT, shown with
  // SW_SHOW) with the attribute PROC_THREAD_ATTRIBUTE_DESKTOP_APP_POLICY =
  // PROCESS_CREATION_DESKTOP_APP_BREAKAWAY_OVERRIDE: the program does not join the package of the
  // process that starts it; then AllowSetForegroundWindow for it, so that its windows come to the
  // front. kStarted when it runs (its handles closed, not waited for); kNeedsElevation when
  // Windows answers ERROR_ELEVATION_REQUIRED; kNotStarted when the platform refuses the attribute
  // (Wine, Windows before 10 1703) or the start.
  virtual StartOutcome StartOutsidePackage(const char16_t* file, const char16_t* commandLine) = 0;

  // ShellExecuteW(no owner, no verb, file, parameters, no directory, SW_SHOW); true when it reports
  // the start (a result above 32). The program is not waited for. (Only where the start above is
  // refused: Windows before 10 1703, and Wine, whose ShellExecuteExW shows a message for a missing
  // file that ShellExecuteW does not; it names no process to hand the foreground right to.) For a file that is not
  // there, the shell shows its own "cannot find" message first.
  virtual bool Start(const char16_t* file, const char16_t* parameters) = 0;

  // PathFileExistsW: whether the program's file is there to be started.
  virtual bool Exists(const char16_t* file) = 0;
};

}  // namespace torvo
