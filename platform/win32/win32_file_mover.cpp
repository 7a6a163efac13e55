#include "platform/win32/win32_file_mover.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <string_view>

#include "platform/win32/com_apartment.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_handler_platform.h"

namespace torvo::win32 {

namespace {

// SHFILEOPSTRUCTW from the record; the two fields the platform writes back are copied back.
int RunShellFileOperation(FileOperation& operation) {
  SHFILEOPSTRUCTW record{};
  record.hwnd = reinterpret_cast<HWND>(operation.hwnd);
  record.wFunc = operation.wFunc;
  record.pFrom = AsWide(operation.pFrom);
  record.pTo = AsWide(operation.pTo);
  record.fFlags = operation.fFlags;
  record.fAnyOperationsAborted = operation.fAnyOperationsAborted ? TRUE : FALSE;
  record.hNameMappings = operation.hNameMappings;
  record.lpszProgressTitle = AsWide(operation.lpszProgressTitle);
  const int result = ::SHFileOperationW(&record);
  operation.fAnyOperationsAborted = record.fAnyOperationsAborted != FALSE;
  operation.hNameMappings = record.hNameMappings;
  return result;
}

// The thread's work: the job's preparation and its operation in an apartment of its own, as the
// shell's thread would run them, holding the host's process until they have ended.
class FileOperationWork : public ThreadWork {
 public:
  FileOperationWork(std::unique_ptr<FileOperationJob> job, ComPtr<IUnknown> hostProcess, HINSTANCE textInstance,
                    HMODULE ownModule)
      : job_(std::move(job)),
        hostProcess_(std::move(hostProcess)),
        textInstance_(textInstance),
        ownModule_(ownModule) {}
  void Run() noexcept override {
    const SingleThreadedApartment apartment;
    if (job_->prepare) {
      Win32HandlerPlatform platform(textInstance_, ownModule_);
      if (!job_->prepare(*job_, platform.platform)) return;
    }
    RunShellFileOperation(job_->operation);
  }
  std::unique_ptr<FileOperationJob> TakeJob() { return std::move(job_); }

 private:
  std::unique_ptr<FileOperationJob> job_;
  ComPtr<IUnknown> hostProcess_;  // released last, when the work is deleted
  HINSTANCE textInstance_;
  HMODULE ownModule_;
};

// Adds an entry's name, and its short name where it has one, unless it is "." or "..".
void AddNames(const WIN32_FIND_DATAW& found, std::vector<std::u16string>& names) {
  const std::wstring_view name(found.cFileName);
  if (name == L"." || name == L"..") return;
  names.emplace_back(AsUtf16(found.cFileName));
  if (found.cAlternateFileName[0] != L'\0') names.emplace_back(AsUtf16(found.cAlternateFileName));
}

}  // namespace

bool Win32FileMover::PathExists(const char16_t* path) { return ::PathFileExistsW(AsWide(path)) != FALSE; }

bool Win32FileMover::IsFolder(const char16_t* path) { return ::PathIsDirectoryW(AsWide(path)) != FALSE; }

std::optional<std::vector<std::u16string>> Win32FileMover::ListNames(const char16_t* folder) {
  const std::wstring pattern = std::wstring(AsWide(folder)) + L"*";
  WIN32_FIND_DATAW found{};
  const UniqueFind search(
      ::FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch, nullptr, 0));
  std::vector<std::u16string> names;
  if (!search) {
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return names;  // an empty root has no entry at all
    return std::nullopt;
  }
  do {
    AddNames(found, names);
  } while (::FindNextFileW(search.Get(), &found));
  if (::GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
  return names;
}

int Win32FileMover::RunFileOperation(FileOperation& operation) { return RunShellFileOperation(operation); }

bool Win32FileMover::StartFileOperation(std::unique_ptr<FileOperationJob>& job) {
  // Explorer (and any host that sets one) hands out a reference that keeps its process running; a
  // program's Open dialog or a folder window's own process offers none and may end at once.
  ComPtr<IUnknown> hostProcess;
  if (FAILED(::SHGetInstanceExplorer(hostProcess.Put())) || !hostProcess) return false;
  auto operationWork =
      std::make_unique<FileOperationWork>(std::move(job), std::move(hostProcess), textInstance_, ownModule_);
  FileOperationWork& started = *operationWork;
  std::unique_ptr<ThreadWork> work = std::move(operationWork);
  if (StartOwnThread(work, hold_)) return true;
  job = started.TakeJob();  // no thread: the job goes back to the caller
  return false;
}

}  // namespace torvo::win32
