#include "platform/win32/win32_program_starter.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <memory>
#include <string>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace torvo::win32 {

namespace {

// Not in MinGW-w64's headers: Windows 10 1703 and later (WinBase.h, processthreadsapi.h).
constexpr DWORD_PTR kProcThreadAttributeDesktopAppPolicy = 0x00020012;  // PROC_THREAD_ATTRIBUTE_DESKTOP_APP_POLICY
constexpr DWORD kDesktopAppBreakawayOverride = 0x04;
constexpr DWORD kErrorElevationRequired =
    740;  // ERROR_ELEVATION_REQUIRED (winerror.h, Vista and later)  // PROCESS_CREATION_DESKTOP_APP_BREAKAWAY_OVERRIDE

// A process thread attribute list of one attribute, deleted with its owner.
class AttributeList {
 public:
  AttributeList() {
    SIZE_T bytes = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &bytes);  // asks for the size
    storage_ = std::make_unique<unsigned char[]>(bytes);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    if (::InitializeProcThreadAttributeList(list, 1, 0, &bytes)) list_ = list;
  }
  AttributeList(const AttributeList&) = delete;
  AttributeList& operator=(const AttributeList&) = delete;
  ~AttributeList() {
    if (list_ != nullptr) ::DeleteProcThreadAttributeList(list_);
  }

  // The value must live as long as the list: it is read when the process is created.
  bool Set(DWORD_PTR attribute, DWORD* value) {
    return list_ != nullptr &&
           ::UpdateProcThreadAttribute(list_, 0, attribute, value, sizeof(*value), nullptr, nullptr);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST Get() const { return list_; }

 private:
  std::unique_ptr<unsigned char[]> storage_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

}  // namespace

std::uint32_t Win32ProgramStarter::GetOwnModulePath(char16_t* buffer, std::uint32_t size) {
  // A cut path gives `size` (and ERROR_INSUFFICIENT_BUFFER), as on Windows.
  return ::GetModuleFileNameW(module_, AsWide(buffer), size);
}

StartOutcome Win32ProgramStarter::StartOutsidePackage(const char16_t* file, const char16_t* commandLine) {
  DWORD policy = kDesktopAppBreakawayOverride;
  AttributeList attributes;
  if (!attributes.Set(kProcThreadAttributeDesktopAppPolicy, &policy)) return StartOutcome::kNotStarted;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
  startup.StartupInfo.wShowWindow = SW_SHOW;
  startup.lpAttributeList = attributes.Get();
  std::wstring writable(AsWide(commandLine));  // CreateProcessW may write into its command line
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(AsWide(file), writable.data(), nullptr, nullptr, FALSE, EXTENDED_STARTUPINFO_PRESENT, nullptr,
                        nullptr, &startup.StartupInfo, &started)) {
    return ::GetLastError() == kErrorElevationRequired ? StartOutcome::kNeedsElevation : StartOutcome::kNotStarted;
  }
  UniqueHandle process(started.hProcess), thread(started.hThread);  // not waited for
  ::AllowSetForegroundWindow(started.dwProcessId);  // started by a background process, its windows come first
  return StartOutcome::kStarted;
}

bool Win32ProgramStarter::Exists(const char16_t* file) { return ::PathFileExistsW(AsWide(file)) != FALSE; }

bool Win32ProgramStarter::Start(const char16_t* file, const char16_t* parameters) {
  const HINSTANCE result = ::ShellExecuteW(nullptr, nullptr, AsWide(file), AsWide(parameters), nullptr, SW_SHOW);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace torvo::win32
