#pragma once
// The shell's file-operation service and the existence test of a path.
#include "shellmenu/file_mover.h"

namespace torvo::win32 {

class Win32FileMover : public FileMover {
 public:
  bool PathExists(const char16_t* path) override;
  int RunFileOperation(FileOperation& operation) override;
};

}  // namespace torvo::win32
