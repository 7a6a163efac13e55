// torvo_host.exe: the explorer-like host as a program, for the demo. It shows the context menu
// that the shell would build for the given items with the registered handler, can open it for a
// picture (a PNG of the open menu's window) and can choose the handler's item.
//
//   torvo_host.exe [/invoke [/noasync] [/noui] [/end]] [/picture:PNG] [/class:KIND] PATH...   KIND: *, Directory or
//   lnkfile torvo_host.exe /command PATH...
//
// /end stands in for another program's Open dialog: it offers the handler no reference on its
// process, as Explorer does, and ends right after InvokeCommand; /noasync asks for the move to be
// done when InvokeCommand returns (CMIC_MASK_NOASYNC), /noui for no window that asks
// (CMIC_MASK_FLAG_NO_UI).
// /command stands in for Windows 11's host of the Explorer command, COM's surrogate: it creates
// the command from TorvoShellMenu.dll beside it, invokes it on the items and ends at once, as the
// surrogate may once the shell lets go of the command; exit code 0 when Invoke answered S_OK.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/com_ptr.h"
#include "resources/explorer_command_ids.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_host.h"
#include "tests/wine/support/shell_items.h"

namespace {

// Writes UTF-8 to standard output, so that the Chinese menu text reaches a terminal intact.
void Print(const std::wstring& text) {
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring Hex(HRESULT hr) {
  wchar_t buffer[16];
  ::wsprintfW(buffer, L"0x%08X", static_cast<unsigned>(hr));
  return buffer;
}

// Invoke of the Explorer command on the items, then the end of the process: ExitProcess ends every
// thread at once, whatever the DLL still runs.
[[noreturn]] void InvokeExplorerCommandAndEnd(const std::vector<std::wstring>& items) {
  using namespace torvo::wine;
  ComApartment apartment;
  const ServerDll dll;
  torvo::win32::ComPtr<IClassFactory> factory;
  torvo::win32::ComPtr<IExplorerCommand> command;
  HRESULT result = dll.GetClassObject(torvo::CLSID_TorvoExplorerCommand, IID_IClassFactory, factory.PutVoid());
  if (SUCCEEDED(result)) result = factory->CreateInstance(nullptr, IID_IExplorerCommand, command.PutVoid());
  if (SUCCEEDED(result)) result = command->Invoke(ShellItemArrayFor(items).Get(), nullptr);
  Print(L"Invoke: " + Hex(result) + L"\n");
  ::ExitProcess(result == S_OK ? 0 : 1);
}

}  // namespace

int wmain() {
  using namespace torvo::wine;
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  HostRequest request;
  bool explorerCommand = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"/command")
      explorerCommand = true;
    else if (argument == L"/invoke")
      request.invoke = true;
    else if (argument == L"/end")
      request.endAfterInvoke = true;
    else if (argument == L"/noasync")
      request.invokeMask |= CMIC_MASK_NOASYNC;
    else if (argument == L"/noui")
      request.invokeMask |= CMIC_MASK_FLAG_NO_UI;
    else if (argument.rfind(L"/class:", 0) == 0)
      request.classKey = argument.substr(7);
    else if (argument.rfind(L"/picture:", 0) == 0)
      request.picture = argument.substr(9);
    else
      request.items.push_back(argument);
  }
  ::LocalFree(argv);
  if (request.items.empty()) {
    Print(
        L"usage: torvo_host.exe [/invoke [/noasync] [/noui] [/end]] [/picture:PNG] [/class:KIND] PATH... | /command "
        L"PATH...\n");
    return 2;
  }
  if (explorerCommand) InvokeExplorerCommandAndEnd(request.items);
  request.explorer = !request.endAfterInvoke;  // a host that ends at once offers no hold on itself

  ComApartment apartment;
  for (const HandlerRegistration& h : FindContextMenuHandlers(request.classKey)) {
    Print(L"handler " + h.name + L" " + h.clsid + (h.approved ? L" approved" : L" not approved") +
          (h.perUser ? L", per user" : L", machine-wide") + L", server " + h.inprocPath + L"\n");
  }
  const HostRun run = RunContextMenu(request);
  if (!run.handlerCreated) {
    Print(L"the handler could not be created: " + Hex(run.createResult) + L"\n");
    return 1;
  }
  Print(L"Initialize: " + Hex(run.initializeResult) + L", QueryContextMenu: " + Hex(run.queryResult) + L"\nmenu:\n");
  for (const MenuLine& line : run.menu) {
    Print(L"  [" + std::to_wstring(line.id) + L"] " + line.text + (line.hasBitmap ? L"   (with image)" : L"") + L"\n");
  }
  if (!run.helpText.empty()) Print(L"help text: " + run.helpText + L"\n");
  if (run.invoked) {
    Print(L"InvokeCommand: " + Hex(run.invokeResult) + L", returned after " + std::to_wstring(run.invokeMilliseconds) +
          L" ms; the work it started ended after " + std::to_wstring(run.workMilliseconds) + L" ms\n");
  }
  if (request.picture.empty()) return 0;
  if (!run.picture.written) {
    Print(L"the picture of the menu could not be written\n");
    return 1;
  }
  Print(L"picture of the open menu (" + std::to_wstring(run.picture.size.cx) + L" x " +
        std::to_wstring(run.picture.size.cy) + L"): " + request.picture + L"\n");
  return 0;
}
