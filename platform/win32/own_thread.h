#pragma once
// Threads of the DLL's own that may outlive the call that started them: each holds a reference to
// the module it runs in (and, optionally, the COM server's lock count) until it has ended, so that
// the code it runs is never unloaded under it.
#include <windows.h>

#include <memory>

#include "platform/win32/unique_handle.h"

namespace torvo::win32 {

// What such a thread runs; the thread deletes it when Run returns.
class ThreadWork {
 public:
  virtual ~ThreadWork() = default;
  virtual void Run() noexcept = 0;
};

// The module's lock count (DllCanUnloadNow answers S_FALSE while it is above 0); null hooks do nothing.
struct ModuleHold {
  void (*lock)() = nullptr;
  void (*unlock)() = nullptr;
};

// Starts a thread that runs the work, deletes it, releases the hold and ends with
// FreeLibraryAndExitThread on a module reference taken before the thread started. Returns the
// thread's handle, the thread owning the work; an empty handle, with the work left to the caller
// and nothing held, when no thread can be started.
UniqueHandle StartOwnThread(std::unique_ptr<ThreadWork>& work, ModuleHold hold = {});

}  // namespace torvo::win32
