// torvo-move.exe [/noui] VAULTROOT LISTFILE: moves the items of a move list file into the vault root, with
// the shell's file operation and its progress window, then ends with an exit code that says what
// happened (list_move.h). The Explorer command starts it beside TorvoShellMenu.dll, so that the
// move outlives the command's host.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/com_apartment.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_file_mover.h"
#include "platform/win32/win32_program_starter.h"
#include "platform/win32/win32_temp_files.h"
#include "platform/win32/win32_text_source.h"
#include "tools/mover/list_move.h"

namespace {

// Whether the mover runs as part of a package: it was started inside the caller's package, whose
// processes Windows ends when the package is removed or updated. GetCurrentPackageFullName is
// Windows 8's; before it there are no packages.
bool InsideAPackage() {
  using PackageNameFn = LONG(WINAPI*)(UINT32*, PWSTR);
  const auto packageName = reinterpret_cast<PackageNameFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetCurrentPackageFullName")));
  UINT32 length = 0;
  return packageName != nullptr && packageName(&length, nullptr) == ERROR_INSUFFICIENT_BUFFER;
}

std::vector<std::u16string> ArgumentsAfterProgramName() {
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::u16string> arguments;
  for (int i = 1; argv != nullptr && i < count; ++i) arguments.emplace_back(torvo::win32::AsUtf16(argv[i]));
  ::LocalFree(argv);
  return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace torvo;
  const win32::SingleThreadedApartment apartment;  // as the shell's thread runs a file operation
  win32::Win32TempFiles files;
  win32::Win32FileMover mover;
  win32::Win32ProgramStarter starter(nullptr);  // the agent lives in this program's folder
  win32::Win32TextSource texts(instance);
  win32::Win32Environment environment;
  mover::MoverPlatform platform{files, mover, starter, texts, environment};
  const mover::MoverExit exit = mover::RunListMove(ArgumentsAfterProgramName(), platform);
  // Inside a package it still moves, and says so.
  if (exit == mover::MoverExit::kMoved && InsideAPackage())
    return static_cast<int>(mover::MoverExit::kMovedInsidePackage);
  return static_cast<int>(exit);
}
