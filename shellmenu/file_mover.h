#pragma once
// The shell's file-operation service as the direct move uses it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shellmenu/handles.h"

namespace torvo {

struct HandlerPlatform;

inline constexpr std::uint32_t kFoMove = 1;                  // FO_MOVE
inline constexpr std::uint16_t kFofMultiDestFiles = 0x0001;  // FOF_MULTIDESTFILES: one destination per source
inline constexpr std::uint16_t kFofSimpleProgress = 0x0100;  // FOF_SIMPLEPROGRESS
// FOF_SILENT | FOF_RENAMEONCOLLISION | FOF_NOCONFIRMATION | FOF_NOERRORUI: no window at all, and a
// destination taken after the names were chosen gets a new name instead of being replaced.
inline constexpr std::uint16_t kFofNoUi = 0x0004 | 0x0008 | 0x0010 | 0x0400;
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

// A file operation together with the lists and the title that its record points into, so that
// it can run on a thread other than the one that made it. Lives at one address: never copied.
struct FileOperationJob {
  FileOperationJob() = default;
  FileOperationJob(const FileOperationJob&) = delete;
  FileOperationJob& operator=(const FileOperationJob&) = delete;

  std::vector<char16_t> from;  // ended by two zeros
  std::vector<char16_t> to;    // ended by two zeros; one destination per source
  std::u16string title;
  // Run first on the job's own thread, with a platform of that thread's own: completes what the
  // record could not hold when the job was made (the destinations, named there so that the caller's
  // thread does not wait for the file system). False: the operation does not run, and the step has
  // handed the work on. None: the record is complete.
  std::function<bool(FileOperationJob&, HandlerPlatform&)> prepare;
  FileOperation operation;  // pFrom, pTo and lpszProgressTitle point into the fields above
};

class FileMover {
 public:
  virtual ~FileMover() = default;
  // PathFileExistsW.
  virtual bool PathExists(const char16_t* path) = 0;
  // PathIsDirectoryW.
  virtual bool IsFolder(const char16_t* path) = 0;
  // One listing of the folder (FindFirstFileExW and FindNextFileW over "folder*"): each entry's
  // name and, where it has one, its short (8.3) name, which the file system takes as the same
  // entry's name; "." and ".." left out. Nothing when the folder cannot be listed whole.
  virtual std::optional<std::vector<std::u16string>> ListNames(const char16_t* folder) = 0;
  // SHFileOperationW with the record; synchronous; its result is returned as it comes.
  virtual int RunFileOperation(FileOperation& operation) = 0;
  // Runs the job's preparation, then its operation, on a new thread of its own (COM initialised
  // apartment-threaded there), which frees the job when it ends and keeps the DLL loaded, and the host process running,
  // until then (the host's process reference, SHGetInstanceExplorer); returns at once. True when the thread runs and
  // owns the job; false, the job left with the caller, when the host offers no process reference or no thread can be
  // started.
  virtual bool StartFileOperation(std::unique_ptr<FileOperationJob>& job) = 0;
};

}  // namespace torvo
