#pragma once
// The lock count that the adapters' moves hold while they run on threads of their own, for test
// programs that use the adapters without the COM server: tests wait for it to return to zero.
#include <windows.h>

#include "platform/win32/own_thread.h"
#include "tests/wine/support/server_dll.h"

namespace torvo::wine {

inline volatile LONG g_runningMoves = 0;

inline win32::ModuleHold CountingMoves() {
  return {[] { ::InterlockedIncrement(&g_runningMoves); }, [] { ::InterlockedDecrement(&g_runningMoves); }};
}

// Waits until no move started with CountingMoves runs any more; false after `timeoutMs`.
inline bool WaitForMovesToEnd(DWORD timeoutMs = 60000) {
  return WaitUntil([] { return g_runningMoves == 0; }, timeoutMs);
}

}  // namespace torvo::wine
