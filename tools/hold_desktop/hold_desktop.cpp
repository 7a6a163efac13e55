// hold_desktop.exe: waits until Wine's desktop of this session has its display driver (at most 5
// minutes), prints "ready", and then keeps the desktop until it is ended (wineserver -k ends it with
// the session). Exit code 1, printing nothing, when the desktop never got one.
// hold_desktop.exe /check: answers at once: "ready" and exit code 0 when the desktop has its
// driver now, else exit code 1 (the bench's test of the rule).
//
// Wine starts its desktop process (explorer.exe /desktop) for the first program of a session that
// needs a window and gives it 10 s; a program that finds no display driver for the desktop starts
// the desktop process once more, which writes display settings (volatile keys) under a new
// identifier. On a machine under heavy load the start outlasts the 10 s: programs then go on
// without a display driver (the 32-bit regsvr32 failed, or crashed, creating OLE's window) and new
// display settings appear between two registry exports. Scripts run this in the background first.
#include <windows.h>

#include <cstdio>
#include <cstring>

// Whether the desktop has its display driver: the identifier of its display settings, which every
// program's first window looks up, is a property of the desktop window once Wine's desktop process
// has set it up. A program that finds none goes on without a driver.
bool DesktopHasItsDriver() {
  const HWND desktop = ::GetDesktopWindow();
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutW(desktop, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &answer) != 0 &&
         ::GetPropW(desktop, L"__wine_display_device_guid") != nullptr;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "/check") == 0) {
    if (!DesktopHasItsDriver()) return 1;
    std::puts("ready");
    return 0;
  }
  for (int second = 0; second < 300; ++second) {
    if (DesktopHasItsDriver()) {
      std::puts("ready");
      std::fflush(stdout);
      ::Sleep(INFINITE);
    }
    ::Sleep(1000);
  }
  return 1;
}
