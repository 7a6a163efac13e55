#include "platform/win32/win32_file_mover.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "platform/win32/com_apartment.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/wide.h"

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

// The thread's work: the operation in an apartment of its own, as the shell's thread would run it,
// holding the host's process until it has ended.
class FileOperationWork : public ThreadWork {
 public:
  FileOperationWork(std::unique_ptr<FileOperationJob> job, ComPtr<IUnknown> hostProcess)
      : job_(std::move(job)), hostProcess_(std::move(hostProcess)) {}
  void Run() noexcept override {
    const SingleThreadedApartment apartment;
    RunShellFileOperation(job_->operation);
  }
  std::unique_ptr<FileOperationJob> TakeJob() { return std::move(job_); }

 private:
  std::unique_ptr<FileOperationJob> job_;
  ComPtr<IUnknown> hostProcess_;  // released last, when the work is deleted
};

}  // namespace

bool Win32FileMover::PathExists(const char16_t* path) { return ::PathFileExistsW(AsWide(path)) != FALSE; }

int Win32FileMover::RunFileOperation(FileOperation& operation) { return RunShellFileOperation(operation); }

bool Win32FileMover::StartFileOperation(std::unique_ptr<FileOperationJob>& job) {
  // Explorer (and any host that sets one) hands out a reference that keeps its process running; a
  // program's Open dialog or a folder window's own process offers none and may end at once.
  ComPtr<IUnknown> hostProcess;
  if (FAILED(::SHGetInstanceExplorer(hostProcess.Put())) || !hostProcess) return false;
  auto operationWork = std::make_unique<FileOperationWork>(std::move(job), std::move(hostProcess));
  FileOperationWork& started = *operationWork;
  std::unique_ptr<ThreadWork> work = std::move(operationWork);
  if (StartOwnThread(work, hold_)) return true;
  job = started.TakeJob();  // no thread: the job goes back to the caller
  return false;
}

}  // namespace torvo::win32
