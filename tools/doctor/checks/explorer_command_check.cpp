// The Explorer command that Windows 11's first context menu creates: the class from the DLL, its
// title, and the state it answers for each path, all in this 64-bit process. The sparse package,
// not the registry, names the class, so the doctor loads the DLL's own class object.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <optional>
#include <string>

#include "common/text.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_file_mover.h"
#include "resources/explorer_command_ids.h"
#include "shellmenu/agent_launch.h"
#include "shellmenu/mover_launch.h"
#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/server_file.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

namespace {

constexpr wchar_t kCheck[] = L"explorer command";

// The one-item array Explorer would hand over for a right-click on the path.
HRESULT ItemArrayFor(const std::wstring& path, win32::ComPtr<IShellItemArray>& items) {
  win32::ComPtr<IShellItem> item;
  const HRESULT hr = ::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_IShellItem, item.PutVoid());
  if (FAILED(hr)) return hr;
  return ::SHCreateShellItemArrayFromShellItem(item.Get(), IID_IShellItemArray, items.PutVoid());
}

void ReportState(const DoctorContext& context, IExplorerCommand& command, const std::wstring& given, Report& report) {
  const std::wstring path = FullPath(given);
  win32::ComPtr<IShellItemArray> items;
  HRESULT hr = ItemArrayFor(path, items);
  if (FAILED(hr)) {
    report.Note(kCheck, path + L": hidden: the shell makes no item of it (" + StatusText(hr) + L")");
    return;
  }
  EXPCMDSTATE state = ECS_HIDDEN;
  hr = command.GetState(items.Get(), TRUE, &state);  // as the shell asks off its UI thread
  if (FAILED(hr)) {
    report.Problem(kCheck, path + L": GetState fails: " + StatusText(hr),
                   InstallAgain(context, L"install TorvoShellMenu.dll again"));
  } else if (state == ECS_ENABLED && context.packageRegistered) {
    report.Ok(kCheck, path + L": shown on Windows 11's first menu");
  } else if (state == ECS_ENABLED) {
    report.Note(kCheck, path +
                            L": enabled, but on no first menu: Windows 11's package does not serve this DLL for "
                            L"this user (see package above)");
  } else {
    report.Note(kCheck, path + L": hidden, as the classic item is left out (see the path's line above)");
  }
}

// The command's direct move runs in torvo-move.exe beside the DLL; without it the command hands
// every move to the agent, which moves the items once the user has logged in to it.
void CheckMover(const DoctorContext& context, Report& report) {
  const std::wstring mover = BesideDll(context.dll, Wide(kMoverExecutableName));
  if (win32::Win32FileMover().PathExists(win32::AsUtf16(mover.c_str()))) {
    report.Ok(L"mover", mover + L" moves the items for Windows 11's first menu when the agent is ready");
    return;
  }
  report.Note(L"mover", mover + L" does not exist: Windows 11's first menu then hands every move to the agent (" +
                            BesideDll(context.dll, Wide(kAgentExecutableName)) +
                            L" /_loginmove) instead of moving the items when the agent is ready; the classic menu "
                            L"moves them itself. Install torvo-move.exe beside TorvoShellMenu.dll (the installer's "
                            L"repair puts it back)");
}

}  // namespace

void CheckExplorerCommand(DoctorContext& context, const NamedPaths& paths, Report& report) {
  if (!context.dllReadable) {
    report.Note(kCheck, L"not created: the DLL file is not usable (see above)");
    return;
  }
  if (const std::optional<std::wstring> why = NotLoadedWhenElevated(context, context.dll)) {
    report.Note(kCheck, *why);
    return;
  }
  const std::wstring clsid = GuidText(CLSID_TorvoExplorerCommand);
  const ServerFile server(context.dll);
  win32::ComPtr<IExplorerCommand> command;
  const HRESULT hr = server.Create(CLSID_TorvoExplorerCommand, IID_IExplorerCommand, command.PutVoid());
  if (FAILED(hr)) {
    report.Problem(kCheck, L"the class " + clsid + L" cannot be created from " + context.dll + L": " + StatusText(hr),
                   InstallAgain(context,
                                L"install TorvoShellMenu.dll of this release (it serves Windows 11's first "
                                L"menu) where the Windows 11 package's external location points"));
    return;
  }
  win32::CoTaskMemory<wchar_t> title;
  const HRESULT titled = command->GetTitle(nullptr, title.Put());
  report.Ok(kCheck, L"the class " + clsid +
                        L" is created from the DLL in this 64-bit process and answers "
                        L"IExplorerCommand" +
                        (SUCCEEDED(titled) && title ? L", titled \"" + std::wstring(title.Get()) + L"\"" : L""));
  for (const std::wstring& path : paths) ReportState(context, *command.Get(), path, report);
  CheckMover(context, report);
}

}  // namespace torvo::doctor
