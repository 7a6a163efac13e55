#include "tests/wine/support/program_run.h"

#include <algorithm>
#include <cstdio>

#include "tests/wine/support/shell_items.h"

namespace torvo::wine {

namespace {

constexpr int kAttempts = 3;

// The statuses with which Wine's loader ends a process it could not bring up to the program's
// entry point: a DLL missing or failing its start (the desktop or its display driver not ready
// among the causes), a missing entry or ordinal, an image it cannot map.
bool IsLoaderStatus(DWORD code) {
  switch (code) {
    case 0xC0000135:  // STATUS_DLL_NOT_FOUND
    case 0xC0000142:  // STATUS_DLL_INIT_FAILED
    case 0xC0000139:  // STATUS_ENTRYPOINT_NOT_FOUND
    case 0xC0000138:  // STATUS_ORDINAL_NOT_FOUND
    case 0xC000007B:  // STATUS_INVALID_IMAGE_FORMAT
      return true;
    default:
      return false;
  }
}

// A file in the temporary folder that a child writes its output into, read and removed at the end.
class OutputFile {
 public:
  OutputFile() {
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    ::GetTempFileNameW(folder, L"run", 0, name);
    path_ = name;
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    file_.Reset(::CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    file_.Reset();
    ::DeleteFileW(path_.c_str());
  }
  HANDLE Handle() const { return file_.Get(); }
  std::string Read() const { return FileBytes(path_); }

 private:
  std::wstring path_;
  win32::UniqueFile file_;
};

win32::UniqueHandle Launch(const std::wstring& commandLine, HANDLE output, ProgramRun& record) {
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (output != nullptr && output != INVALID_HANDLE_VALUE) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  const BOOL inherit = (startup.dwFlags & STARTF_USESTDHANDLES) != 0;
  PROCESS_INFORMATION info{};
  record.commandLine = commandLine;
  ++record.attempts;
  record.started = ::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr,
                                    &startup, &info) != FALSE;
  record.startError = record.started ? 0 : ::GetLastError();
  record.hung = false;
  record.exitCode = 0;
  if (!record.started) return {};
  ::CloseHandle(info.hThread);
  return win32::UniqueHandle(info.hProcess);
}

}  // namespace

void PrintTo(const ProgramRun& run, std::ostream* out) {
  *out << "run of " << ::testing::PrintToString(run.commandLine) << " (" << run.attempts
       << (run.attempts == 1 ? " attempt" : " attempts") << "): ";
  if (!run.started) {
    *out << "not started, error " << run.startError;
  } else if (run.hung) {
    *out << "hung: still running after " << run.timeoutMs << " ms, then ended";
  } else {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(run.exitCode));
    *out << "exit code " << run.exitCode << " (" << code << ")";
  }
  if (run.output.empty()) {
    *out << ", no output";
  } else {
    *out << ", output:\n" << run.output;
  }
}

bool LeftNoTrace(const ProgramRun& attempt, bool speaks) {
  if (!attempt.started) {
    // A missing program or folder, or a file that is no program: the answer will not change.
    const DWORD final[] = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_BAD_EXE_FORMAT, ERROR_INVALID_NAME};
    return std::find(std::begin(final), std::end(final), attempt.startError) == std::end(final);
  }
  const bool failed = speaks ? attempt.exitCode != 0 : IsLoaderStatus(attempt.exitCode);
  return !attempt.hung && failed && attempt.output.empty();
}

win32::UniqueHandle LaunchProgram(const std::wstring& commandLine, ProgramRun& record) {
  return Launch(commandLine, nullptr, record);
}

void FinishProgram(HANDLE process, DWORD timeoutMs, ProgramRun& record) {
  record.timeoutMs = timeoutMs;
  if (::WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
    // A hung program must not run into the next case, holding its files.
    record.hung = true;
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, 30000);
    return;
  }
  ::GetExitCodeProcess(process, &record.exitCode);
}

ProgramRun RunProgram(const std::wstring& commandLine, const RunOptions& options) {
  ProgramRun run;
  do {
    if (run.attempts > 0) ::Sleep(500);  // a start Wine gave up on: a moment for the load to pass
    const OutputFile output;
    const win32::UniqueHandle process = Launch(commandLine, options.capture ? output.Handle() : nullptr, run);
    if (process) FinishProgram(process.Get(), options.timeoutMs, run);
    run.output = options.capture ? output.Read() : std::string();
  } while (run.attempts < kAttempts && LeftNoTrace(run, options.speaks && options.capture));
  return run;
}

}  // namespace torvo::wine
