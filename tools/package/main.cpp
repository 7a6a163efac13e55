// torvo-package.exe /provision | /remove | /user: Windows 11's sparse package for every user
// (package_steps.h), with no window: the installer runs it as SYSTEM, Active Setup at each user's
// sign-in. Its exit code says what happened (PackageExit); each line it says goes to its standard
// output, or the console it was started from, and the sign-in step's failures also to the user's
// %LOCALAPPDATA%\ZebTorvo\TorvoShellMenu\package.log, where the support desk finds them.
#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/packaged_command.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "tools/package/package_steps.h"
#include "tools/package/win32_package_deployment.h"
#include "torvo_version.h"

namespace {

using namespace torvo;

constexpr wchar_t kProductKey[] = L"Software\\ZebTorvo\\TorvoShellMenu";
// A sign-in never waits on the step longer than this; the installer's steps get longer.
constexpr DWORD kSignInBoundMs = 60000;
constexpr DWORD kSignInOperationMs = 45000;
constexpr DWORD kInstallerOperationMs = 600000;

std::wstring Wide(const std::u16string& text) { return std::wstring(win32::AsWide(text.c_str()), text.size()); }
std::u16string Utf16(const std::wstring& text) { return std::u16string(win32::AsUtf16(text.c_str()), text.size()); }

std::optional<std::wstring> RegistryText(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t text[1024] = {};
  DWORD bytes = sizeof(text) - sizeof(wchar_t);
  if (::RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(text);
}

// Where the lines go: the standard output a caller gave, else the console it was started from.
HANDLE Output() {
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
    out = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  return out;
}

void WriteUtf8(HANDLE file, const std::wstring& line) {
  if (file == nullptr || file == INVALID_HANDLE_VALUE) return;
  const std::wstring text = line + L"\r\n";
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// The user's log of the sign-in step, which starts over once it passes 64 KiB.
void AppendToUserLog(const std::wstring& line) {
  wchar_t local[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH) == 0) return;
  std::wstring folder = std::wstring(local) + L"\\ZebTorvo";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  folder += L"\\TorvoShellMenu";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + L"\\package.log";
  WIN32_FILE_ATTRIBUTE_DATA data{};
  const bool large = ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) && data.nFileSizeLow > 65536;
  const win32::UniqueFile log(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                            large ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t stamp[32] = {};
  ::wsprintfW(stamp, L"%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond);
  WriteUtf8(log.Get(), stamp + line);
}

class Win32PackageHost : public package::PackageHost {
 public:
  explicit Win32PackageHost(bool signIn) : signIn_(signIn), output_(Output()) {}

  std::uint32_t WindowsBuild() override {
    const auto build =
        RegistryText(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber");
    return build ? static_cast<std::uint32_t>(std::wcstoul(build->c_str(), nullptr, 10)) : 0;
  }
  std::u16string ProgramFolder() override {
    wchar_t path[MAX_PATH] = {};
    const std::wstring file(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
    return Utf16(file.substr(0, file.find_last_of(L'\\') + 1));
  }
  std::u16string Publisher() override { return Utf16(win32::SignerPublisher(nullptr)); }
  std::u16string Version() override {
    return Utf16(std::to_wstring(TORVO_VERSION_MAJOR) + L"." + std::to_wstring(TORVO_VERSION_MINOR) + L"." +
                 std::to_wstring(TORVO_VERSION_PATCH) + L"." + std::to_wstring(TORVO_VERSION_BUILD));
  }
  bool FileExists(const std::u16string& path) override {
    return ::GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  bool MenuTurnedOff() override { return RegistryText(HKEY_LOCAL_MACHINE, kProductKey, L"Windows11Menu") == L"0"; }
  std::optional<std::u16string> UserRecord() override {
    const auto record = RegistryText(HKEY_CURRENT_USER, kProductKey, L"Windows11Package");
    return record ? std::optional<std::u16string>(Utf16(*record)) : std::nullopt;
  }
  void SetUserRecord(const std::u16string& record) override {
    const std::wstring text = Wide(record);
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kProductKey, L"Windows11Package", REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  void Say(const std::u16string& line) override { WriteUtf8(output_, Wide(line)); }
  void SayFailure(const std::u16string& line) override {
    Say(line);
    if (signIn_) AppendToUserLog(Wide(line));
  }

 private:
  bool signIn_;
  HANDLE output_;
};

std::vector<std::u16string> ArgumentsAfterProgramName() {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::u16string> arguments;
  for (int i = 1; argv != nullptr && i < count; ++i) arguments.push_back(Utf16(argv[i]));
  ::LocalFree(argv);
  return arguments;
}

// Ends the sign-in step that outlasts its bound, saying so: the user's sign-in goes on.
DWORD WINAPI SignInBound(void* host) {
  ::Sleep(kSignInBoundMs);
  static_cast<Win32PackageHost*>(host)->SayFailure(
      u"gave up after 60 s: Windows' PackageManager did not answer in time");
  ::ExitProcess(static_cast<UINT>(package::PackageExit::kUnanswered));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);  // nothing from beside the program but itself
  const std::vector<std::u16string> arguments = ArgumentsAfterProgramName();
  const bool signIn = arguments.size() == 1 && arguments[0] == u"/user";
  Win32PackageHost host(signIn);
  if (signIn) ::CloseHandle(::CreateThread(nullptr, 0, SignInBound, &host, 0, nullptr));
  package::Win32PackageDeployment deployment(signIn ? kSignInOperationMs : kInstallerOperationMs);
  const package::PackageExit exit = package::RunPackageStep(arguments, deployment, host);
  if (exit == package::PackageExit::kUsage) {
    host.Say(u"usage: torvo-package.exe /provision | /remove | /user");
  }
  return static_cast<int>(exit);
}
