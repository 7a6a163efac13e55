// The shell's file operation moving real items into the vault drive V: (a drive letter that the
// test bench maps to a host folder), and the direct move and dispatch on top of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "platform/win32/win32_handler_platform.h"
#include "shellmenu/dispatch.h"
#include "shellmenu/vault_move.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/host_process.h"
#include "tests/wine/support/move_tracker.h"
#include "tests/wine/support/program_run.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

constexpr wchar_t kVaultRoot[] = L"V:\\";

// Everything below V:\ is removed, V:\ itself stays.
void EmptyVault() {
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW(L"V:\\*", &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") wine::RemoveTree(kVaultRoot + name);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

// The host folder behind V:, seen through Wine's drive Z: (the host's root).
std::wstring VaultHostFolder() {
  wchar_t host[MAX_PATH] = {};
  ::GetEnvironmentVariableW(L"TORVO_VAULT_HOST", host, MAX_PATH);
  std::wstring path = std::wstring(L"Z:") + host;
  for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
  return path + L"\\";
}

// A drive letter that names no drive in this prefix.
wchar_t MissingDriveLetter() {
  for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
    const wchar_t root[] = {letter, L':', L'\\', 0};
    if (::GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) return letter;
  }
  return 0;
}

class VaultMoveUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    wine::CloseAllAgents();
    ASSERT_TRUE(wine::PathExists(kVaultRoot)) << "the test bench maps V: to a host folder";
    EmptyVault();
    items = {folder.AddFile(L"a.txt", "alpha"), folder.AddFile(L"\u6587\u4EF6 b.txt", "beta"),
             folder.AddFolder(L"photos")};
    folder.AddFile(L"photos\\p1.jpg", "jpeg");
    for (const std::wstring& item : items) state.m_selection.emplace_back(win32::AsUtf16(item.c_str()));
  }
  void TearDown() override {
    EmptyVault();
    wine::CloseAllAgents();
  }

  // Each item is gone from its old place and present in the vault, seen through V: and through
  // the host folder behind it.
  void ExpectMovedIntoVault() const {
    ASSERT_TRUE(wine::WaitForMovesToEnd()) << "the move did not end";
    for (const std::wstring& name : {std::wstring(L"a.txt"), std::wstring(L"\u6587\u4EF6 b.txt"),
                                     std::wstring(L"photos"), std::wstring(L"photos\\p1.jpg")}) {
      EXPECT_FALSE(wine::PathExists(folder.Path() + L"\\" + name)) << "still in its old place";
      EXPECT_TRUE(wine::PathExists(kVaultRoot + name)) << "missing in the vault";
      EXPECT_TRUE(wine::PathExists(VaultHostFolder() + name)) << "missing in the host folder";
    }
  }
  void ExpectNothingMoved() const {
    ASSERT_TRUE(wine::WaitForMovesToEnd()) << "a move did not end";
    for (const std::wstring& item : items) EXPECT_TRUE(wine::PathExists(item));
    EXPECT_FALSE(wine::PathExists(L"V:\\a.txt"));
  }

  wine::ComApartment apartment;
  wine::HostProcessReference host;  // the direct move runs on a thread that holds it
  wine::ScratchFolder folder{L"torvo-vault-move"};
  std::vector<std::wstring> items;
  HandlerState state;
  // Texts from the test program's own string table; the agent starts from its folder, bin\.
  win32::Win32HandlerPlatform real{::GetModuleHandleW(nullptr), nullptr, wine::CountingMoves()};
  HandlerPlatform& platform = real.platform;
  win32::Win32FileMover& mover = real.mover;
};

TEST_F(VaultMoveUnderWine, ExistenceOfTheVaultRoot) {
  EXPECT_TRUE(mover.PathExists(u"V:\\"));
  EXPECT_TRUE(mover.PathExists(u"v:\\"));
  EXPECT_FALSE(mover.PathExists(u":\\"));
  const wchar_t missing[] = {MissingDriveLetter(), L':', L'\\', 0};
  ASSERT_NE(missing[0], 0);
  EXPECT_FALSE(mover.PathExists(win32::AsUtf16(missing)));
}

// One listing gives every name the root holds, short names too, and nothing for a root not there.
TEST_F(VaultMoveUnderWine, ListingOfTheRootAndWhatIsAFolder) {
  EXPECT_EQ(mover.ListNames(u"V:\\"), std::vector<std::u16string>{});  // an empty root lists as empty
  wine::WriteFileBytes(L"V:\\a long name.txt", "x");
  ASSERT_TRUE(::CreateDirectoryW(L"V:\\photos.2023", nullptr));
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_NE(::GetShortPathNameW(L"V:\\a long name.txt", shortPath, MAX_PATH), 0u);
  const std::wstring shortName = std::wstring(shortPath).substr(3);

  const auto names = mover.ListNames(u"V:\\");
  ASSERT_TRUE(names.has_value());
  for (const std::wstring& name : {std::wstring(L"a long name.txt"), std::wstring(L"photos.2023"), shortName}) {
    EXPECT_NE(std::find(names->begin(), names->end(), win32::AsUtf16(name.c_str())), names->end()) << name;
  }
  EXPECT_EQ(std::find(names->begin(), names->end(), u".."), names->end());
  const wchar_t missing[] = {MissingDriveLetter(), L':', L'\\', 0};
  EXPECT_FALSE(mover.ListNames(win32::AsUtf16(missing)).has_value());
  EXPECT_TRUE(mover.IsFolder(u"V:\\photos.2023"));
  EXPECT_FALSE(mover.IsFolder(u"V:\\a long name.txt"));
}

TEST_F(VaultMoveUnderWine, FileOperationMovesFilesAndAFolderIntoTheRoot) {
  std::u16string sources;
  for (const std::u16string& item : state.m_selection) sources += item + u'\0';
  sources += u'\0';
  FileOperation operation;
  operation.wFunc = kFoMove;
  operation.pFrom = sources.c_str();
  operation.pTo = u"V:\\\0";
  operation.fFlags = kFofSimpleProgress | kFofNoConfirmMkdir;
  operation.lpszProgressTitle = u"moving";
  EXPECT_EQ(mover.RunFileOperation(operation), 0);
  EXPECT_FALSE(operation.fAnyOperationsAborted);
  ExpectMovedIntoVault();
}

TEST_F(VaultMoveUnderWine, DirectMoveAsksTheAgentForTheDrive) {
  wine::AgentProcess vault(L"/drive:V");
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(MoveIntoVault(state, platform), kOk);
  ExpectMovedIntoVault();
}

// Names taken in the vault: the move's own thread numbers the file before its extension and the
// folder at its end, and replaces nothing.
TEST_F(VaultMoveUnderWine, DirectMoveNamesAroundWhatTheVaultHolds) {
  wine::WriteFileBytes(L"V:\\a.txt", "old");
  ASSERT_TRUE(::CreateDirectoryW(L"V:\\photos.2023", nullptr));
  const std::wstring album = folder.AddFolder(L"photos.2023");
  folder.AddFile(L"photos.2023\\p.jpg", "jpeg");
  state.m_selection = {win32::AsUtf16(items[0].c_str()), win32::AsUtf16(album.c_str())};
  wine::AgentProcess vault(L"/drive:V");
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(MoveIntoVault(state, platform), kOk);
  ASSERT_TRUE(wine::WaitForMovesToEnd()) << "the move did not end";
  EXPECT_EQ(wine::FileBytes(L"V:\\a.txt"), "old");
  EXPECT_EQ(wine::FileBytes(L"V:\\a (2).txt"), "alpha");
  EXPECT_EQ(wine::FileBytes(L"V:\\photos.2023 (2)\\p.jpg"), "jpeg");
  EXPECT_FALSE(wine::PathExists(items[0]));
}

// torvo-move.exe with /noui, as a caller that asked for no UI starts it: a name the vault holds is
// numbered, nothing is replaced, and the mover ends with its code for a whole move.
TEST_F(VaultMoveUnderWine, MoverWithNoUiNamesAroundWhatTheVaultHolds) {
  wine::WriteFileBytes(L"V:\\a.txt", "old");
  std::string bytes;
  for (wchar_t unit : items[0] + L"\n") bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  const std::wstring list = folder.AddFile(L"m2m1A2B.tmp", bytes);
  EXPECT_THAT(wine::RunProgram(L"\"" + wine::ProgramFolder() + L"torvo-move.exe\" /noui V:\\ \"" + list + L"\""),
              wine::ExitsWith(0u));
  EXPECT_EQ(wine::FileBytes(L"V:\\a.txt"), "old");
  EXPECT_EQ(wine::FileBytes(L"V:\\a (2).txt"), "alpha");
  EXPECT_FALSE(wine::PathExists(items[0]));
  EXPECT_FALSE(wine::PathExists(list));
}

TEST_F(VaultMoveUnderWine, LowerCaseLetterNamesTheSameDrive) {
  wine::AgentProcess vault(L"/drive:v");
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(MoveIntoVault(state, platform), kOk);
  ExpectMovedIntoVault();
}

TEST_F(VaultMoveUnderWine, MissingVaultDriveFailsAndMovesNothing) {
  const std::wstring letter(1, MissingDriveLetter());
  wine::AgentProcess vault(L"/drive:" + letter);
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(MoveIntoVault(state, platform), kFail);
  ExpectNothingMoved();
}

TEST_F(VaultMoveUnderWine, NoAgentFailsAndMovesNothing) {
  EXPECT_EQ(MoveIntoVault(state, platform), kFail);
  ExpectNothingMoved();
}

TEST_F(VaultMoveUnderWine, DispatchMovesWhenTheAgentIsReady) {
  wine::AgentProcess vault(L"/ready:1 /drive:V");
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(SendSelectionToVault(state, platform), kOk);
  ExpectMovedIntoVault();
}

TEST_F(VaultMoveUnderWine, DispatchStartsTheAgentWithTheListWhenItIsNotReady) {
  const wine::AgentLog log(L"torvo-dispatch-agent.log");
  wine::AgentProcess vault(L"/ready:0x100000000 /drive:V");  // low 32 bits zero: not ready
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(SendSelectionToVault(state, platform), kOk);
  const std::vector<wine::LoginMove> moves = log.WaitForLoginMoves(1);
  ASSERT_EQ(moves.size(), 1u) << "the agent was not started with /_loginmove";
  EXPECT_EQ(moves[0].records, items);
  ::DeleteFileW(moves[0].listFile.c_str());
  ExpectNothingMoved();
}

}  // namespace
}  // namespace torvo
