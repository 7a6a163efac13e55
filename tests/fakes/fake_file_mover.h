#pragma once
// The file system as the direct move sees it: PathFileExistsW and SHFileOperationW, in memory.
#include <set>
#include <string>
#include <vector>

#include "shellmenu/file_mover.h"

namespace torvo::fakes {

// A list of paths ended by two zeros, read back into its entries.
std::vector<std::u16string> ReadDoubleZeroList(const char16_t* list);

class FakeFileMover : public FileMover {
 public:
  // Folders that exist; compared with ASCII letters folded, as the file system does.
  std::vector<std::u16string> existing = {u"X:\\"};
  // The user cancels the operation in the platform's progress window.
  bool userCancels = false;
  bool operationThrowsBadAlloc = false;

  bool PathExists(const char16_t* path) override;
  int RunFileOperation(FileOperation& operation) override;

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
  };
  std::vector<std::u16string> existenceTests;
  std::vector<Operation> operations;
  std::vector<std::string>* journal = nullptr;  // shared record of calls, in order

 private:
  void Note(std::string call) {
    if (journal != nullptr) journal->push_back(std::move(call));
  }
};

}  // namespace torvo::fakes
