#pragma once
// An explorer-like host: finds the context-menu handlers the registry names for a kind of item
// (reading HKCU\Software\Classes over HKLM\Software\Classes as Windows merges them), creates each
// approved one as COM would, and drives it through a real popup menu as the shell does.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/win32/com_ptr.h"
#include "tests/wine/support/menu_picture.h"

namespace torvo::wine {

struct HandlerRegistration {
  std::wstring name;        // the handler's key under ContextMenuHandlers
  std::wstring clsid;       // its default value
  bool approved = false;    // listed under Shell Extensions\Approved
  std::wstring inprocPath;  // InprocServer32 of the class
  bool perUser = false;     // the class is registered under HKCU\Software\Classes
};

// The handlers listed under <classKey>\ShellEx\ContextMenuHandlers in the merged classes view.
std::vector<HandlerRegistration> FindContextMenuHandlers(const std::wstring& classKey);

struct MenuLine {
  UINT id = 0;
  std::wstring text;
  bool hasBitmap = false;
};

// The host's own items, as Explorer shows them for a file: the first is the default item, a null text
// is a separator. The handler's item goes at HostRequest::indexMenu, after "Open with...".
struct HostItem {
  UINT id;
  const wchar_t* text;
  const wchar_t* submenuItem = nullptr;  // the one item of the item's submenu, if it opens one
};
inline constexpr HostItem kHostItems[] = {
    {1, L"Open"},
    {2, L"Open with..."},
    {0, nullptr},
    {3, L"Send to", L"Desktop (create shortcut)"},
    {0, nullptr},
    {4, L"Cut"},
    {5, L"Copy"},
    {0, nullptr},
    {6, L"Create shortcut"},
    {7, L"Delete"},
    {8, L"Rename"},
    {0, nullptr},
    {9, L"Properties"},
};
inline constexpr UINT kHostItemCount = sizeof(kHostItems) / sizeof(kHostItems[0]);

struct HostRun {
  bool handlerCreated = false;
  HRESULT createResult = E_FAIL;
  HRESULT initializeResult = E_FAIL;
  HRESULT queryResult = E_FAIL;
  std::vector<MenuLine> menu;  // the popup menu after the handler added to it
  std::wstring helpText;       // GetCommandString(GCS_HELPTEXTW) when the item was added
  HRESULT invokeResult = E_FAIL;
  bool invoked = false;
  ULONGLONG invokeMilliseconds = 0;  // how long InvokeCommand held the host's thread
  ULONGLONG workMilliseconds = 0;    // from the invocation until the server agreed to be unloaded
  MenuPicture picture;               // when a picture was asked for
};

struct HostRequest {
  std::vector<std::wstring> items;  // the selection (one folder)
  std::wstring classKey = L"*";     // "*", "Directory" or "lnkfile"
  std::wstring handlerName = L"ZebTorvoShellExt";
  bool invoke = false;  // choose the handler's item when it is there
  // The items as a drop-file list of the host's own (items of several folders, names no file can
  // have) instead of the shell's data object for one folder's items.
  bool dropList = false;
  // Explorer hands its handlers a reference on its process (SHSetInstanceExplorer); another
  // program's Open dialog does not, and may end right after InvokeCommand: endAfterInvoke ends the
  // host's process there.
  bool explorer = true;
  bool endAfterInvoke = false;
  DWORD invokeMask = 0;  // CMIC_MASK_* beyond what Explorer sets (CMIC_MASK_NOASYNC, ...)
  std::wstring verb;     // the item invoked by this verb's name rather than by its offset
  std::wstring picture;  // when set, the menu is opened and its picture written there (PNG)
  UINT indexMenu = 2;
  UINT idCmdFirst = 100;
};

// Builds the menu for the request with the named handler and, when asked, opens it for its picture
// and invokes the handler's item.
HostRun RunContextMenu(const HostRequest& request);

// The menu's items, read back with GetMenuItemInfoW.
std::vector<MenuLine> ReadMenu(HMENU menu);

}  // namespace torvo::wine
