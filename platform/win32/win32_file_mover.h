#pragma once
// The shell's file-operation service, on the calling thread or on a thread of its own, and the
// existence test of a path.
#include "platform/win32/own_thread.h"
#include "shellmenu/file_mover.h"

namespace torvo::win32 {

class Win32FileMover : public FileMover {
 public:
  // `hold` is the COM server's lock count, held while a started operation runs.
  explicit Win32FileMover(ModuleHold hold = {}) : hold_(hold) {}

  bool PathExists(const char16_t* path) override;
  int RunFileOperation(FileOperation& operation) override;
  bool StartFileOperation(std::unique_ptr<FileOperationJob>& job) override;

 private:
  ModuleHold hold_;
};

}  // namespace torvo::win32
