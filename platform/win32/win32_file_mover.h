#pragma once
// The shell's file-operation service, on the calling thread or on a thread of its own, and the
// existence test of a path.
#include <windows.h>

#include "platform/win32/own_thread.h"
#include "shellmenu/file_mover.h"

namespace torvo::win32 {

class Win32FileMover : public FileMover {
 public:
  // `hold` is the COM server's lock count, held while a started operation runs; a started job's
  // preparation gets a platform of its thread's own with texts from `textInstance` and programs
  // started from the folder of `ownModule` (Win32HandlerPlatform).
  explicit Win32FileMover(ModuleHold hold = {}, HINSTANCE textInstance = nullptr, HMODULE ownModule = nullptr)
      : hold_(hold), textInstance_(textInstance), ownModule_(ownModule) {}

  bool PathExists(const char16_t* path) override;
  bool IsFolder(const char16_t* path) override;
  std::optional<std::vector<std::u16string>> ListNames(const char16_t* folder) override;
  int RunFileOperation(FileOperation& operation) override;
  bool StartFileOperation(std::unique_ptr<FileOperationJob>& job) override;

 private:
  ModuleHold hold_;
  HINSTANCE textInstance_;
  HMODULE ownModule_;
};

}  // namespace torvo::win32
