#include "platform/win32/own_thread.h"

namespace torvo::win32 {

namespace {

struct ThreadStart {
  std::unique_ptr<ThreadWork> work;
  ModuleHold hold;
  HMODULE module = nullptr;
};

DWORD WINAPI RunOwnThread(void* parameter) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
  start->work->Run();
  const ModuleHold hold = start->hold;
  const HMODULE module = start->module;
  start.reset();
  if (hold.unlock != nullptr) hold.unlock();
  // The module may be unloaded the moment its last reference goes: this call does not return here.
  ::FreeLibraryAndExitThread(module, 0);
}

// A reference to the module that holds this code (the DLL, or the program it is linked into).
HMODULE ReferenceOwnModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunOwnThread), &module);
  return module;
}

}  // namespace

UniqueHandle StartOwnThread(std::unique_ptr<ThreadWork>& work, ModuleHold hold) {
  auto start = std::make_unique<ThreadStart>();
  start->module = ReferenceOwnModule();
  if (start->module == nullptr) return UniqueHandle();
  start->hold = hold;
  start->work = std::move(work);
  if (hold.lock != nullptr) hold.lock();
  UniqueHandle thread(::CreateThread(nullptr, 0, &RunOwnThread, start.get(), 0, nullptr));
  if (thread) {
    start.release();  // the thread's now
    return thread;
  }
  if (hold.unlock != nullptr) hold.unlock();
  work = std::move(start->work);
  ::FreeLibrary(start->module);
  return UniqueHandle();
}

}  // namespace torvo::win32
