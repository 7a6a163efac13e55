// powershell.exe as the installer's and the doctor's tests put it in System32's place: it records
// each command line it is started with in powershell-calls.log beside itself, answers a query of
// the user's packages with what powershell-output.txt beside it holds, and ends
// with the number that powershell-exit.txt beside it holds (0 without one), the way a failing
// Appx cmdlet would.
#include <windows.h>

#include <string>

namespace {

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

// The file's bytes; empty when it is not there.
std::string Contents(const wchar_t* name) {
  const HANDLE file =
      ::CreateFileW(Beside(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(4096, '\0');
  DWORD read = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  ::CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

}  // namespace

int wmain() {
  const std::wstring line = std::wstring(::GetCommandLineW()) + L"\n";
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  const HANDLE log = ::CreateFileW(Beside(L"powershell-calls.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                   OPEN_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(log, utf8.data(), static_cast<DWORD>(utf8.size() - 1), &written, nullptr);
  ::CloseHandle(log);
  const std::string output =
      line.find(L"FindPackagesForUser") != std::wstring::npos ? Contents(L"powershell-output.txt") : std::string();
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), output.data(), static_cast<DWORD>(output.size()), &written, nullptr);
  return std::atoi(Contents(L"powershell-exit.txt").c_str());
}
