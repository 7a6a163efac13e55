// The Explorer command from the built DLL, as Windows 11's menu meets it: created through
// DllGetClassObject, its texts and its icon, its state on item arrays that Wine's shell makes from
// real files, read item by item and through the items' data object (the classic handler's menu
// agreeing), and its command with the stand-in agent. Its direct move, in torvo-move.exe, is the
// long-move test's (background_move_test.cpp).
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TorvoShellMenu.h"
#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"
#include "resources/explorer_command_ids.h"
#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/counted_unknown.h"
#include "tests/wine/support/data_object_item_array.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::ElementsAreArray;
using win32::ComPtr;

const std::wstring kMenuText = L"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6";
constexpr wchar_t kVaultFile[] = L"V:\\report.doc";

// The string a call hands out, freed as its caller must free it.
template <class Call>
std::wstring HandedOut(Call call) {
  wchar_t* text = nullptr;
  EXPECT_EQ(call(&text), S_OK);
  const win32::CoTaskMemory<wchar_t> owner(text);
  return text != nullptr ? std::wstring(text) : L"<null>";
}

// The width of an icon's colour image; the icon is destroyed.
LONG WidthOf(HICON icon) {
  ICONINFO info{};
  const BOOL read = ::GetIconInfo(icon, &info);
  ::DestroyIcon(icon);
  if (!read) return 0;
  BITMAP picture{};
  ::GetObjectW(info.hbmColor, sizeof(picture), &picture);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return picture.bmWidth;
}

class ExplorerCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllAgents();
    ASSERT_TRUE(dll.Loaded());
    ASSERT_EQ(dll.GetClassObject(CLSID_TorvoExplorerCommand, IID_IClassFactory, factory.PutVoid()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IExplorerCommand, command.PutVoid()), S_OK);
  }
  void TearDown() override { CloseAllAgents(); }

  ComApartment apartment;
  ServerDll dll;
  ComPtr<IClassFactory> factory;
  ComPtr<IExplorerCommand> command;
  ScratchFolder folder{L"torvo-explorer-command"};
};

TEST_F(ExplorerCommand, AnswersItsTextsItsNameAndItsFlags) {
  EXPECT_EQ(HandedOut([&](wchar_t** text) { return command->GetTitle(nullptr, text); }), kMenuText);
  EXPECT_EQ(HandedOut([&](wchar_t** text) { return command->GetToolTip(nullptr, text); }), kMenuText);
  EXPECT_EQ(command->GetTitle(nullptr, nullptr), E_POINTER);
  CLSID clsid{};
  GUID canonical{}, answered{};
  ASSERT_EQ(::CLSIDFromString(L"{FE350870-CCAE-43AD-926D-C10521847188}", &clsid), S_OK);
  ASSERT_EQ(::CLSIDFromString(L"{9E3A079B-C758-434C-95FC-A7B28E9B7FCF}", &canonical), S_OK);
  EXPECT_TRUE(::IsEqualCLSID(clsid, CLSID_TorvoExplorerCommand));
  EXPECT_EQ(command->GetCanonicalName(&answered), S_OK);
  EXPECT_TRUE(::IsEqualGUID(answered, canonical));
  EXPCMDFLAGS flags = 0xFF;
  EXPECT_EQ(command->GetFlags(&flags), S_OK);
  EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_DEFAULT));
  IEnumExplorerCommand* subcommands = reinterpret_cast<IEnumExplorerCommand*>(1);
  EXPECT_EQ(command->EnumSubCommands(&subcommands), E_NOTIMPL);
  EXPECT_EQ(subcommands, nullptr);
}

TEST_F(ExplorerCommand, OneIdentityNoAggregationAndTheDllHeldWhileItLives) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(command.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  ComPtr<IObjectWithSite> withSite;
  ComPtr<IUnknown> identity;
  ASSERT_EQ(command->QueryInterface(IID_IObjectWithSite, withSite.PutVoid()), S_OK);
  ASSERT_EQ(withSite->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
  EXPECT_EQ(static_cast<void*>(identity.Get()), static_cast<void*>(command.Get()));
  EXPECT_EQ(command->QueryInterface(IID_IContextMenu, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  factory.Reset();
  identity.Reset();
  withSite.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);  // the command itself
  command.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// The shell loads the icon that GetIcon names as "file,-id" from that file: at the small and large
// sizes it extracts, and at every size of the padlock.
TEST_F(ExplorerCommand, IconNamesThePadlockInTheDllAtEverySize) {
  const std::wstring location = HandedOut([&](wchar_t** text) { return command->GetIcon(nullptr, text); });
  const std::size_t comma = location.rfind(L",-");
  ASSERT_NE(comma, std::wstring::npos) << std::string(location.begin(), location.end());
  const std::wstring file = location.substr(0, comma);
  const int id = std::stoi(location.substr(comma + 2));
  EXPECT_EQ(::lstrcmpiW(file.c_str(), ServerDllPath().c_str()), 0);

  HICON large = nullptr, small = nullptr;
  EXPECT_GT(::ExtractIconExW(file.c_str(), -id, &large, &small, 1), 0u);
  ASSERT_NE(large, nullptr);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(WidthOf(large), ::GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(WidthOf(small), ::GetSystemMetrics(SM_CXSMICON));
  for (const int size : {16, 20, 24, 32, 48}) {
    const auto icon = static_cast<HICON>(::LoadImageW(dll.Module(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    EXPECT_EQ(WidthOf(icon), size);
  }
}

TEST_F(ExplorerCommand, KeepsTheSiteTheShellSetsUntilReplacedOrReleased) {
  ComPtr<IObjectWithSite> withSite;
  ASSERT_EQ(command->QueryInterface(IID_IObjectWithSite, withSite.PutVoid()), S_OK);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(withSite->GetSite(IID_IUnknown, &out), E_FAIL);
  EXPECT_EQ(out, nullptr);
  CountedUnknown site;
  EXPECT_EQ(withSite->SetSite(&site), S_OK);
  ComPtr<IUnknown> back;
  EXPECT_EQ(withSite->GetSite(IID_IUnknown, back.PutVoid()), S_OK);
  EXPECT_EQ(back.Get(), &site);
  back.Reset();
  EXPECT_EQ(site.count, 1u);
  EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
  EXPECT_EQ(site.count, 0u);
  EXPECT_EQ(withSite->SetSite(&site), S_OK);
  withSite.Reset();
  command.Reset();
  EXPECT_EQ(site.count, 0u);  // released with the command
}

// ---- the state, against the classic handler's menu for the same selection ----

struct StateRow {
  const char* name;
  const wchar_t* agent;             // the stand-in agent's switches; null: no agent runs
  std::vector<std::wstring> items;  // files (folders: ending in \\) made in the scratch folder, or full paths
                                    // (%VARIABLES% expanded)
  EXPCMDSTATE state;
  const wchar_t* documentsIn = nullptr;  // the user's Documents redirected to this scratch subfolder
};

std::wstring ShortName(const wchar_t* path) {
  wchar_t name[MAX_PATH] = {};
  ::GetShortPathNameW(path, name, MAX_PATH);
  return name;
}

// Where OneDrive or a policy keeps the user's Documents; set back to the profile's folder afterwards.
void PutDocumentsIn(const std::wstring& folder) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                    L"Personal", REG_EXPAND_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

void PrintTo(const StateRow& row, std::ostream* out) { *out << row.name; }

class ExplorerCommandState : public ExplorerCommand, public ::testing::WithParamInterface<StateRow> {
 protected:
  void SetUp() override {
    ExplorerCommand::SetUp();
    const win32::UniqueFile file(::CreateFileW(kVaultFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
  }
  void TearDown() override {
    RemoveTree(kVaultFile);
    if (GetParam().documentsIn != nullptr) PutDocumentsIn(L"%USERPROFILE%\\Documents");
    ExplorerCommand::TearDown();
  }

  std::vector<std::wstring> Paths(const std::vector<std::wstring>& items) const {
    std::vector<std::wstring> paths;
    for (const std::wstring& item : items) {
      wchar_t expanded[MAX_PATH] = {};
      ::ExpandEnvironmentStringsW(item.c_str(), expanded, MAX_PATH);
      const std::wstring name = expanded;
      if (name.find(L':') != std::wstring::npos) {
        paths.push_back(name);
      } else {  // a name that ends in a backslash is a folder
        paths.push_back(name.back() == L'\\' ? folder.AddFolder(name.substr(0, name.size() - 1))
                                             : folder.AddFile(name));
      }
    }
    return paths;
  }

  // Whether the classic handler, given the same items' data object, adds its item to a menu.
  bool ClassicMenuOffersItem(const std::vector<std::wstring>& paths) const {
    ComPtr<IClassFactory> classic;
    ComPtr<IShellExtInit> init;
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(dll.GetClassObject(CLSID_TorvoShellContextMenu, IID_IClassFactory, classic.PutVoid()), S_OK);
    EXPECT_EQ(classic->CreateInstance(nullptr, IID_IShellExtInit, init.PutVoid()), S_OK);
    EXPECT_EQ(init->Initialize(nullptr, ShellDataObjectFor(paths).Get(), nullptr), S_OK);
    EXPECT_EQ(init->QueryInterface(IID_IContextMenu, menu.PutVoid()), S_OK);
    HMENU popup = ::CreatePopupMenu();
    const HRESULT result = menu->QueryContextMenu(popup, 0, 1, 10, CMF_NORMAL);
    ::DestroyMenu(popup);
    return result == 1;
  }
};

TEST_P(ExplorerCommandState, IsTheClassicMenusDecision) {
  const StateRow& row = GetParam();
  std::unique_ptr<AgentProcess> agent;
  if (row.agent != nullptr) {
    agent = std::make_unique<AgentProcess>(row.agent);
    ASSERT_NE(agent->Window(), nullptr);
  }
  if (row.documentsIn != nullptr) PutDocumentsIn(folder.AddFolder(row.documentsIn));
  const std::vector<std::wstring> paths = Paths(row.items);
  const ComPtr<IShellItemArray> items = ShellItemArrayFor(paths);
  ASSERT_TRUE(items);
  EXPCMDSTATE state = 0xFF;
  EXPECT_EQ(command->GetState(items.Get(), TRUE, &state), S_OK);
  EXPECT_EQ(state, row.state);
  // On the shell's UI thread, what only the agent decides is pending; the rest is hidden at once.
  const HRESULT quick = command->GetState(items.Get(), FALSE, &state);
  EXPECT_TRUE(quick == E_PENDING || (row.state == ECS_HIDDEN && quick == S_OK)) << std::hex << quick;
  EXPECT_EQ(state, static_cast<EXPCMDSTATE>(ECS_HIDDEN));
  EXPECT_EQ(ClassicMenuOffersItem(paths), row.state == ECS_ENABLED);
  EXPECT_EQ(command->GetState(items.Get(), TRUE, nullptr), E_POINTER);

  // The same items as Windows hands them over, with their data object: read as one drop-file list.
  const ComPtr<IDataObject> dataObject = ShellDataObjectFor(paths);
  DataObjectItemArray withDataObject(items.Get(), dataObject.Get());
  state = 0xFF;
  EXPECT_EQ(command->GetState(&withDataObject, TRUE, &state), S_OK);
  EXPECT_EQ(state, row.state);
  EXPECT_EQ(withDataObject.itemReads, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ExplorerCommandState,
    ::testing::Values(
        StateRow{"PlainFilesWithTheAgentReady", L"/ready:1 /drive:V", {L"report.doc", L"notes.txt"}, ECS_ENABLED},
        StateRow{"FolderWithoutAgent", nullptr, {L"%USERPROFILE%\\Temp"}, ECS_ENABLED},
        StateRow{"ItemOnTheVaultDrive", L"/ready:1 /drive:V", {kVaultFile}, ECS_HIDDEN},
        StateRow{"OneProtectedAmongSeveral",
                 L"/ready:0 /drive:V",
                 {L"%USERPROFILE%\\Temp", L"%USERPROFILE%\\Desktop"},
                 ECS_HIDDEN},
        StateRow{"ProgramFilesByItsShortName", nullptr, {ShortName(L"C:\\Program Files")}, ECS_HIDDEN},
        StateRow{"TheUsersDocumentsItself", nullptr, {L"%USERPROFILE%\\Documents"}, ECS_HIDDEN},
        StateRow{"DocumentsWhereTheyAreRedirected", nullptr, {L"OneDrive\\"}, ECS_HIDDEN, L"OneDrive"},
        StateRow{"AFileInRedirectedDocuments", nullptr, {L"OneDrive\\a.txt"}, ECS_ENABLED, L"OneDrive"}),
    fakes::CaseName());

// ---- the command ----

// Hosts pass no array for a folder's background, among others: nothing to move.
TEST_F(ExplorerCommand, ANullItemArrayIsHiddenAndRefused) {
  EXPCMDSTATE state = ECS_ENABLED;
  EXPECT_EQ(command->GetState(nullptr, FALSE, &state), S_OK);
  EXPECT_EQ(state, static_cast<EXPCMDSTATE>(ECS_HIDDEN));
  EXPECT_EQ(command->Invoke(nullptr, nullptr), E_INVALIDARG);
}

TEST_F(ExplorerCommand, InvokeStartsAnAgentThatIsNotReadyWithTheList) {
  AgentLog log(L"torvo-explorer-command-agent.log");
  AgentProcess agent(L"/ready:0 /drive:V");
  ASSERT_NE(agent.Window(), nullptr);
  const std::vector<std::wstring> items = {folder.AddFile(L"a.txt"), folder.AddFolder(L"photos")};
  EXPECT_EQ(command->Invoke(ShellItemArrayFor(items).Get(), nullptr), S_OK);
  const auto moves = log.WaitForLoginMoves(1);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_THAT(moves[0].records, ElementsAreArray(items));
  EXPECT_TRUE(PathExists(items[0]));  // the agent, not the command, moves it later
}

}  // namespace
}  // namespace torvo
