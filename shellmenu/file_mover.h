#pragma once
// The shell's file-operation service as the direct move uses it.
#include <cstdint>

#include "shellmenu/handles.h"

namespace torvo {

inline constexpr std::uint32_t kFoMove = 1;                  // FO_MOVE
inline constexpr std::uint16_t kFofSimpleProgress = 0x0100;  // FOF_SIMPLEPROGRESS
inline constexpr std::uint16_t kFofNoConfirmMkdir = 0x0200;  // FOF_NOCONFIRMMKDIR

// The fields of SHFILEOPSTRUCTW, in its order.
struct FileOperation {
  WindowHandle hwnd = 0;
  std::uint32_t wFunc = 0;
  const char16_t* pFrom = nullptr;  // list of paths ended by two zeros
  const char16_t* pTo = nullptr;    // destination list ended by two zeros
  std::uint16_t fFlags = 0;
  bool fAnyOperationsAborted = false;
  void* hNameMappings = nullptr;
  const char16_t* lpszProgressTitle = nullptr;
};

class FileMover {
 public:
  virtual ~FileMover() = default;
  // PathFileExistsW.
  virtual bool PathExists(const char16_t* path) = 0;
  // SHFileOperationW with the record; synchronous; its result is returned as it comes.
  virtual int RunFileOperation(FileOperation& operation) = 0;
};

}  // namespace torvo
