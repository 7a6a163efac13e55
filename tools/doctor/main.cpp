// torvo-doctor.exe: answers "why doesn't the menu item show?" in one command. It reads the DLL's
// file, its registration, the shell's lists and policy, creates the handler, asks the agent for
// its vault letter and judges the given paths, and reports each finding on one line. It only
// reads: nothing is registered, repaired or written.
//
//   torvo-doctor [--dll PATH] [--json] [PATH...]
//
// Exit code 0 when nothing is a problem, 1 when something is, 2 for a command line it cannot read.
#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "tools/doctor/doctor_checks.h"
#include "tools/doctor/doctor_options.h"

namespace {

// To a console as UTF-16; to a file or a pipe as UTF-8.
void Write(DWORD stream, const std::wstring& text) {
  const HANDLE handle = ::GetStdHandle(stream);
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(handle, &mode)) {
    ::WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Initialises COM on this thread as a single-threaded apartment, as Explorer's threads are.
class Apartment {
 public:
  Apartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  ~Apartment() {
    if (initialised_) ::CoUninitialize();
  }

 private:
  bool initialised_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using namespace torvo::doctor;
  const DoctorOptions options = ParseDoctorOptions(std::vector<std::wstring>(argv + 1, argv + argc));
  if (!options.error.empty()) {
    Write(STD_ERROR_HANDLE, L"torvo-doctor: " + options.error + L"\n" + kUsage);
    return 2;
  }
  if (options.help) {
    Write(STD_OUTPUT_HANDLE, kUsage);
    return 0;
  }
  const Apartment apartment;
  Report report;
  DoctorContext context = FindDll(options.dll);
  CheckDllFile(context, report);
  CheckRegistration(context, report);
  CheckRegistrationFor32BitPrograms(context, report);
  CheckHandlerKeys(context, report);
  CheckShellPolicy(context, report);
  CheckHandlerCreation(context, report);
  CheckTypeLibraryAndProxy(context, report);
  CheckAgentAndPaths(context, options.paths, report);
  CheckExplorerCommand(context, options.paths, report);
  Write(STD_OUTPUT_HANDLE, options.json ? report.AsJson(context.dll) : report.AsText());
  return report.HasProblem() ? 1 : 0;
}
