#include "tools/doctor/reads/windows11_package.h"

#include <windows.h>

#include <utility>

#include "platform/win32/unique_handle.h"
#include "tools/doctor/reads/registry_reads.h"

namespace torvo::doctor {

namespace {

constexpr DWORD kQueryMs = 60000;  // a cold PowerShell on a slow PC takes seconds, never this long
constexpr DWORD kRegistrationMs = 180000;

// The packages of this user, one "version|external location" line each, in UTF-8 whatever the
// console's code page.
constexpr wchar_t kQuery[] =
    L"[Console]::OutputEncoding=[Text.Encoding]::UTF8; "
    L"$m=[Windows.Management.Deployment.PackageManager,Windows.Management.Deployment,ContentType=WindowsRuntime]::new()"
    L"; "
    L"$m.FindPackagesForUser('') | Where-Object { $_.Id.Name -eq 'ZebTorvo.TorvoShellMenu' } | ForEach-Object { "
    L"$v=$_.Id.Version; '{0}.{1}.{2}.{3}|{4}' -f $v.Major,$v.Minor,$v.Build,$v.Revision,$_.EffectiveExternalPath }";

// A PowerShell string literal of `text`: single-quoted, each quote doubled.
std::wstring Literal(const std::wstring& text) {
  std::wstring literal = L"'";
  for (const wchar_t unit : text) literal += unit == L'\'' ? L"''" : std::wstring(1, unit);
  return literal + L"'";
}

std::wstring FolderOf(const std::wstring& file) { return file.substr(0, file.find_last_of(L'\\') + 1); }

std::wstring RegistrationScript(const std::wstring& packageFile) {
  return L"Get-AppxPackage -Name '" + std::wstring(kPackageName) + L"' | Remove-AppxPackage; Add-AppxPackage -Path " +
         Literal(packageFile) + L" -ExternalLocation " + Literal(FolderOf(packageFile)) + L" -ErrorAction Stop";
}

std::wstring PowerShellPath() {
  wchar_t system[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system, length) + L"\\WindowsPowerShell\\v1.0\\powershell.exe";
}

struct PowerShellRun {
  DWORD error = ERROR_SUCCESS;  // it did not start (its error), or did not end in time (WAIT_TIMEOUT)
  DWORD exitCode = 0;
  std::string output;
};

// The handles a started program inherits, and no other.
class HandleList {
 public:
  HandleList(HANDLE* handles, SIZE_T bytes) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    list_ = list;
    if (!::UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, bytes, nullptr, nullptr)) {
      ::DeleteProcThreadAttributeList(std::exchange(list_, nullptr));
    }
  }
  HandleList(const HandleList&) = delete;
  HandleList& operator=(const HandleList&) = delete;
  ~HandleList() {
    if (list_ != nullptr) ::DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

 private:
  std::vector<unsigned char> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

PowerShellRun Failed(DWORD error) {
  PowerShellRun run;
  run.error = error;
  return run;
}

void Drain(HANDLE pipe, std::string& output) {
  DWORD available = 0;
  while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD read = 0;
    if (!::ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) || read == 0) return;
    output.append(buffer, read);
  }
}

// System32's powershell.exe running `script` without a window, profile or prompt; its standard
// output read as it writes, so that it never waits on a full pipe. Ended when it runs too long.
PowerShellRun RunPowerShell(const std::wstring& script, DWORD timeoutMs) {
  PowerShellRun run;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return Failed(::GetLastError());
  const win32::UniqueHandle reader(readEnd);
  win32::UniqueHandle writer(writeEnd);
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  const win32::UniqueFile nothing(
      ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing.Get();
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  const std::wstring program = PowerShellPath();
  std::wstring command = L"\"" + program + L"\" -NoProfile -NonInteractive -Command \"" + script + L"\"";
  // It inherits the pipe and NUL alone: never the doctor's own output, whose reader would wait on it.
  HANDLE inherited[] = {writeEnd, nothing.Get()};
  const HandleList list(inherited, sizeof inherited);
  STARTUPINFOEXW extended{startup, list.Get()};
  extended.StartupInfo.cb = sizeof extended;
  PROCESS_INFORMATION started{};
  if (list.Get() == nullptr || !::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE,
                                                 CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                                                 &extended.StartupInfo, &started)) {
    return Failed(::GetLastError());
  }
  const win32::UniqueHandle process(started.hProcess);
  const win32::UniqueHandle thread(started.hThread);
  writer.Reset();  // the child holds the pipe's write end now: its end is the pipe's end
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (::WaitForSingleObject(process.Get(), 50) == WAIT_TIMEOUT) {
    Drain(readEnd, run.output);
    if (::GetTickCount64() >= deadline) {
      ::TerminateProcess(process.Get(), WAIT_TIMEOUT);
      return Failed(WAIT_TIMEOUT);
    }
  }
  Drain(readEnd, run.output);
  ::GetExitCodeProcess(process.Get(), &run.exitCode);
  return run;
}

std::wstring FromUtf8(const std::string& text) {
  const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
  return wide;
}

std::vector<RegisteredPackage> ParsePackageLines(const std::wstring& text) {
  std::vector<RegisteredPackage> packages;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    const std::size_t bar = line.find(L'|');
    if (bar != std::wstring::npos) packages.push_back({line.substr(0, bar), line.substr(bar + 1)});
  }
  return packages;
}

}  // namespace

std::optional<std::uint32_t> WindowsBuild() {
  const auto text = RegistryReader().Text(kHkeyLocalMachine, L"Software\\Microsoft\\Windows NT\\CurrentVersion",
                                          L"CurrentBuildNumber");
  if (!text || text->empty() || text->find_first_not_of(L"0123456789") != std::wstring::npos) return std::nullopt;
  return static_cast<std::uint32_t>(std::wcstoul(text->c_str(), nullptr, 10));
}

bool MenuTurnedOff() {
  return RegistryReader().Text(kHkeyLocalMachine, L"Software\\ZebTorvo\\TorvoShellMenu", L"Windows11Menu") == L"0";
}

PackageAnswer RegisteredPackages() {
  const PowerShellRun run = RunPowerShell(kQuery, kQueryMs);
  PackageAnswer answer;
  if (run.error == WAIT_TIMEOUT) {
    answer.failure = L"powershell.exe gave no answer in " + std::to_wstring(kQueryMs / 1000) + L" s";
  } else if (run.error != ERROR_SUCCESS) {
    answer.failure = PowerShellPath() + L" does not run (error " + std::to_wstring(run.error) + L")";
  } else if (run.exitCode != 0) {
    answer.failure = L"powershell.exe ended with " + std::to_wstring(run.exitCode);
  } else {
    answer.packages = ParsePackageLines(FromUtf8(run.output));
  }
  return answer;
}

std::uint32_t RegisterPackageForUser(const std::wstring& packageFile) {
  const PowerShellRun run = RunPowerShell(RegistrationScript(packageFile), kRegistrationMs);
  return run.error != ERROR_SUCCESS ? run.error : run.exitCode;
}

std::wstring RegisterPackageCommand(const std::wstring& packageFile) {
  return L"powershell -NoProfile -Command \"" + RegistrationScript(packageFile) + L"\"";
}

}  // namespace torvo::doctor
