#pragma once
// The file system as the direct move sees it: PathFileExistsW and SHFileOperationW, in memory.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "shellmenu/file_mover.h"
#include "shellmenu/handler_platform.h"

namespace torvo::fakes {

// A list of paths ended by two zeros, read back into its entries.
std::vector<std::u16string> ReadDoubleZeroList(const char16_t* list);

// The paths of `folder` (ending in a backslash) and a name with its numbered names up to `last`
// ("r.doc", "r (2).doc", ...).
std::vector<std::u16string> NumberedSeries(std::u16string_view folder, std::u16string_view stem,
                                           std::u16string_view ending, unsigned last);

class FakeFileMover : public FileMover {
 public:
  // Paths that exist; compared with ASCII letters folded, as the file system does. A move that runs
  // takes its sources out and puts its destinations in.
  std::vector<std::u16string> existing = {u"X:\\"};
  // The user cancels the operation in the platform's progress window.
  bool userCancels = false;
  // The operation reports success but leaves its sources where they were (Wine's move of a folder
  // across file systems).
  bool sourcesStay = false;
  bool operationThrowsBadAlloc = false;
  // The host offers no reference on its process (or no thread can be started): no operation of
  // its own thread.
  bool noHostHold = false;
  // Paths among `existing` that are folders.
  std::vector<std::u16string> folders;
  bool listingFails = false;
  // The platform a started job's preparation gets on its thread.
  HandlerPlatform* threadPlatform = nullptr;

  bool PathExists(const char16_t* path) override;
  bool IsFolder(const char16_t* path) override;
  // The last names of the existing paths directly in the folder (which ends in a backslash).
  std::optional<std::vector<std::u16string>> ListNames(const char16_t* folder) override;
  int RunFileOperation(FileOperation& operation) override;
  // Runs the job's preparation with `threadPlatform` and records its operation, unless the
  // preparation declines, as run on a thread of its own, then frees the job as that thread would.
  bool StartFileOperation(std::unique_ptr<FileOperationJob>& job) override;

  // What one file operation was given, read while it ran.
  struct Operation {
    WindowHandle hwnd;
    std::uint32_t wFunc;
    std::vector<std::u16string> from;
    std::vector<char16_t> toUnits;  // the destination up to and with its two closing zeros
    std::uint16_t fFlags;
    bool fAnyOperationsAborted;
    void* hNameMappings;
    bool titleNull;
    std::u16string title;
    bool onOwnThread;
  };
  std::vector<std::u16string> existenceTests;
  std::vector<std::u16string> listings;  // the folders listed
  std::vector<Operation> operations;
  std::vector<std::string>* journal = nullptr;  // shared record of calls, in order

 private:
  int Record(FileOperation& operation, bool onOwnThread);
  void Note(std::string call) {
    if (journal != nullptr) journal->push_back(std::move(call));
  }
};

}  // namespace torvo::fakes
