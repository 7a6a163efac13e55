// thread_start_probe.dll: holds up the start of the next thread of the process. Its entry point
// runs for that thread's attach notification under the loader lock and waits there until released
// (at most 10 s), as the entry point of another module that waits on a busy window would.
#include <windows.h>

namespace {
HANDLE volatile g_release = nullptr;
}

extern "C" __declspec(dllexport) void HoldNextThreadStart(HANDLE release) {
  ::InterlockedExchangePointer(const_cast<HANDLE*>(&g_release), release);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_THREAD_ATTACH) return TRUE;
  const HANDLE release = ::InterlockedExchangePointer(const_cast<HANDLE*>(&g_release), nullptr);
  if (release != nullptr) ::WaitForSingleObject(release, 10000);
  return TRUE;
}
