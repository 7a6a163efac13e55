#include "tests/wine/support/agent_process.h"

#include <cstdio>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/wine/support/program_run.h"
#include "tests/wine/support/shell_items.h"

namespace torvo::wine {

namespace {

constexpr wchar_t kLogVariable[] = L"TORVO_AGENT_LOG";
constexpr wchar_t kBoundVariable[] = L"TORVO_AGENT_BOUND_MS";

struct ProcessWindowSearch {
  const wchar_t* className;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ProcessWindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (owner != search->processId || ::lstrcmpW(name, search->className) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

// Reads the log's lines into the starts they describe; a block without its "end:" line yet is
// left out.
std::vector<LoginMove> ParseLog(const std::wstring& text) {
  std::vector<LoginMove> moves;
  LoginMove current;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) break;
    const std::wstring_view line(text.data() + start, end - start);
    start = end + 1;
    const auto value = [&](std::wstring_view key) { return std::wstring(line.substr(key.size())); };
    if (line.starts_with(L"command line: "))
      current = LoginMove{value(L"command line: "), {}, {}, {}};
    else if (line.starts_with(L"list file: "))
      current.listFile = value(L"list file: ");
    else if (line.starts_with(L"record: "))
      current.records.push_back(value(L"record: "));
    else if (line.starts_with(L"end: ")) {
      current.end = value(L"end: ");
      moves.push_back(std::move(current));
      current = {};
    }
  }
  return moves;
}

}  // namespace

std::wstring ProgramFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring AgentProgramPath() { return ProgramFolder() + kAgentProgramName; }

HWND FindWindowOfProcess(const wchar_t* className, DWORD processId) {
  ProcessWindowSearch search{className, processId, nullptr};
  ::EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

AgentProcess::AgentProcess(const std::wstring& arguments, const std::wstring& program) {
  // A start that Wine gave up on before the agent ran is tried again, as every start is.
  ProgramRun record;
  do {
    process_ = LaunchProgram(L"\"" + program + L"\" " + arguments, record);
    if (process_ && AwaitWindow()) return;
    if (process_) FinishProgram(process_.Get(), 0, record);
  } while (record.attempts < 3 && LeftNoTrace(record));
  // Why, in the test's output: the agent ended (a start that failed, a refused switch) or hangs.
  std::fprintf(stderr, "zebtorvofloat.exe: no window: %s\n", ::testing::PrintToString(record).c_str());
  process_.Reset();
}

bool AgentProcess::AwaitWindow() {
  processId_ = ::GetProcessId(process_.Get());
  for (int waited = 0; waited < 10000 && window_ == nullptr; waited += 20) {
    window_ = FindWindowOfProcess(kAgentClass, processId_);
    if (window_ == nullptr && ::WaitForSingleObject(process_.Get(), 20) == WAIT_OBJECT_0) return false;
  }
  if (window_ == nullptr) return false;
  // The window is there from inside CreateWindowExW on; questions are answered once the agent's
  // message loop runs, which a sender under load could otherwise take for a hung agent.
  ::WaitForInputIdle(process_.Get(), 10000);
  return true;
}

void AgentProcess::Stop() {
  if (!process_) return;
  if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process_.Get(), 3000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process_.Get(), 1);
    ::WaitForSingleObject(process_.Get(), 3000);
  }
  process_.Reset();
  window_ = nullptr;
}

ProductAgentBound::ProductAgentBound() {
  wchar_t value[16] = {};
  if (::GetEnvironmentVariableW(kBoundVariable, value, 16) < 16) benchBound_ = value;
  ::SetEnvironmentVariableW(kBoundVariable, nullptr);
}

ProductAgentBound::~ProductAgentBound() {
  ::SetEnvironmentVariableW(kBoundVariable, benchBound_.empty() ? nullptr : benchBound_.c_str());
}

bool CloseAllAgents() {
  for (int waited = 0; waited < 15000; waited += 20) {
    HWND window = ::FindWindowW(kAgentClass, nullptr);
    if (window == nullptr) return true;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ::Sleep(20);
    if (waited < 2000 || ::FindWindowW(kAgentClass, nullptr) != window) continue;
    // Still there after two seconds: an agent hung in its window procedure.
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    const win32::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (process && ::TerminateProcess(process.Get(), 1)) ::WaitForSingleObject(process.Get(), 3000);
  }
  DWORD processId = 0;
  ::GetWindowThreadProcessId(::FindWindowW(kAgentClass, nullptr), &processId);
  ADD_FAILURE() << "an agent window (process " << processId << ") survived 15 s of closing and ending: it would "
                << "answer the next case's questions";
  return false;
}

AgentLog::AgentLog(const std::wstring& name) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  path_ = std::wstring(folder) + name;
  ::DeleteFileW(path_.c_str());
  ::SetEnvironmentVariableW(kLogVariable, path_.c_str());
}

AgentLog::~AgentLog() {
  ::SetEnvironmentVariableW(kLogVariable, nullptr);
  ::DeleteFileW(path_.c_str());
}

std::vector<LoginMove> AgentLog::LoginMoves() const { return ParseLog(FromUtf8(FileBytes(path_))); }

std::vector<std::wstring> AgentLog::Queries() const {
  const std::wstring text = FromUtf8(FileBytes(path_));
  constexpr std::wstring_view kQuery = L"query: ";
  std::vector<std::wstring> ids;
  for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    const std::wstring_view line(text.data() + start, end - start);
    if (line.starts_with(kQuery)) ids.emplace_back(line.substr(kQuery.size()));
  }
  return ids;
}

std::vector<LoginMove> AgentLog::WaitForLoginMoves(std::size_t count, DWORD timeoutMs) const {
  std::vector<LoginMove> moves = LoginMoves();
  for (DWORD waited = 0; moves.size() < count && waited < timeoutMs; waited += 50) {
    ::Sleep(50);
    moves = LoginMoves();
  }
  return moves;
}

}  // namespace torvo::wine
