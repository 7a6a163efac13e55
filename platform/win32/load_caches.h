#pragma once
// What the platform answers the same way for as long as the DLL stays loaded, read once and kept by
// the one owner of a load (the COM server's statics): the user's known folders, which change only
// at sign-in, and the program that runs the agent's window, which a window keeps for its life.
// Every member takes a slim lock, which holds no handle, so that a load keeps none after it ends.
#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "shellmenu/environment.h"

namespace torvo::win32 {

// Holds a slim lock for its lifetime.
class SlimLockHold {
 public:
  explicit SlimLockHold(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
  SlimLockHold(const SlimLockHold&) = delete;
  SlimLockHold& operator=(const SlimLockHold&) = delete;
  ~SlimLockHold() { ::ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK& lock_;
};

inline constexpr std::size_t kKnownFolderCount = static_cast<std::size_t>(KnownFolder::kLocalAppData) + 1;

class KnownFolderCache {
 public:
  // The folder's path as `read` (a call of no arguments) first found it; a failed read is kept
  // for no one and asked again.
  template <typename Read>
  std::optional<std::u16string> Path(KnownFolder folder, Read read) {
    const auto index = static_cast<std::size_t>(folder);
    if (index >= kKnownFolderCount) return read();
    const SlimLockHold hold(lock_);
    if (!paths_[index]) paths_[index] = read();
    return paths_[index];
  }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::array<std::optional<std::u16string>, kKnownFolderCount> paths_;
};

// The program of the last window asked for, kept while the same window of the same process is asked
// again: a window's process and its image never change, and a window handle taken again by
// another window after the first one's end also names another process, whose program is read.
class WindowProgramCache {
 public:
  template <typename Read>
  std::optional<std::u16string> Program(HWND window, DWORD processId, Read read) {
    const SlimLockHold hold(lock_);
    if (program_ && window == window_ && processId == processId_) return program_;
    program_ = read();
    window_ = window;
    processId_ = processId;
    return program_;
  }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
  HWND window_ = nullptr;
  DWORD processId_ = 0;
  std::optional<std::u16string> program_;
};

struct LoadCaches {
  KnownFolderCache knownFolders;
  WindowProgramCache agentProgram;
};

}  // namespace torvo::win32
