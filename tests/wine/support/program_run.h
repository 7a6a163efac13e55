#pragma once
// The one way a test starts a program under Wine: what happened is kept in a record that every
// assertion on the run prints. A start that left no trace (no process, or a process that ended
// with a loader's status having written nothing) is tried again, at most three times in all;
// a program that ran is never run again, whatever its result. A program still running at its
// time-out is ended, and the record says it hung.
#include <windows.h>

#include <gmock/gmock.h>

#include <ostream>
#include <string>

#include "platform/win32/unique_handle.h"

namespace torvo::wine {

struct ProgramRun {
  std::wstring commandLine;
  bool started = false;  // a process was created (in the last attempt)
  DWORD startError = 0;  // CreateProcessW's error when it was not
  bool hung = false;     // still running at the time-out, then ended
  DWORD timeoutMs = 0;
  DWORD exitCode = 0;
  std::string output;  // standard output and error, as written (when captured)
  int attempts = 0;
};

void PrintTo(const ProgramRun& run, std::ostream* out);

// Whether an attempt left no trace of the program having run: no process for a reason other than
// the program's absence, or the end of a process that its loader gave up on before the program
// wrote anything; for a program that `speaks` (writes whenever it runs), any failing end having
// written nothing. Such a start is worth another try; everything else is the program's verdict.
bool LeftNoTrace(const ProgramRun& attempt, bool speaks = false);

struct RunOptions {
  DWORD timeoutMs = 60000;
  bool capture = true;  // standard output and error into the record
  bool speaks = false;  // the program writes to its standard output whenever it runs
};

// Runs the command line to its end (or its time-out).
ProgramRun RunProgram(const std::wstring& commandLine, const RunOptions& options = {});

// Starts the command line and returns at once with the process (null when none was created); the
// record holds the attempt. For programs that keep running while the test talks to them.
win32::UniqueHandle LaunchProgram(const std::wstring& commandLine, ProgramRun& record);
// Completes a launched program's record once the process has ended or `timeoutMs` passed: its
// exit code, or hung (the process then ended).
void FinishProgram(HANDLE process, DWORD timeoutMs, ProgramRun& record);

// The run ended by itself with this exit code; the failure message is the whole record.
MATCHER_P(ExitsWith, code, "ends by itself with exit code " + ::testing::PrintToString(code)) {
  *result_listener << "\n" << ::testing::PrintToString(arg);
  return arg.started && !arg.hung && arg.exitCode == static_cast<DWORD>(code);
}

}  // namespace torvo::wine
