// run_stand_in.exe: a program that behaves as the tests of the bench's start helper ask.
//   /fail                  writes a line and ends with exit code 3
//   /fail-silently         ends with exit code 1, having written nothing
//   /hang                  writes its process id and waits for ever
//   /loader                ends at once with a status of Wine's loader, having written nothing: a
//                          start that Wine gave up on
//   /loader-once:FILE      the same when FILE is not there yet (and makes it); else writes "ran"
//                          and ends with 0
//   /loader-after-output   writes a line, then ends with the loader's status: a program that ran
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

constexpr UINT kDllInitFailed = 0xC0000142;

void Say(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* mode = argc > 1 ? argv[1] : L"";
  if (std::wcscmp(mode, L"/fail") == 0) {
    Say("failing as asked\n");
    return 3;
  }
  if (std::wcscmp(mode, L"/fail-silently") == 0) return 1;
  if (std::wcscmp(mode, L"/hang") == 0) {
    std::printf("process %lu\n", ::GetCurrentProcessId());
    std::fflush(stdout);
    ::Sleep(INFINITE);
  }
  if (std::wcscmp(mode, L"/loader") == 0) ::ExitProcess(kDllInitFailed);
  if (std::wcsncmp(mode, L"/loader-once:", 13) == 0) {
    const HANDLE mark = ::CreateFileW(mode + 13, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (mark != INVALID_HANDLE_VALUE) {
      ::CloseHandle(mark);
      ::ExitProcess(kDllInitFailed);
    }
    Say("ran\n");
    return 0;
  }
  if (std::wcscmp(mode, L"/loader-after-output") == 0) {
    Say("ran, then failed\n");
    ::ExitProcess(kDllInitFailed);
  }
  return 2;
}
