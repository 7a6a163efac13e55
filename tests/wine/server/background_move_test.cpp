// The direct move of a large file into a vault drive on another file system (S:, a tmpfs, where the
// move copies and deletes), through the DLL as COM loads it: InvokeCommand returns at once, and the
// DLL stays loaded until the move that runs on its own thread has ended. The Explorer command's
// move, in torvo-move.exe, completes although the process that invoked it ends at once.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/com_ptr.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/host_process.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;

constexpr ULONGLONG kLargeFileBytes = 1ull << 30;  // copying it takes seconds
constexpr wchar_t kDllName[] = L"TorvoShellMenu.dll";

// The handler as the shell holds it after Initialize with the one file.
win32::ComPtr<IContextMenu> HandlerFor(const std::wstring& file) {
  CLSID clsid{};
  ::CLSIDFromString(kClsidText, &clsid);
  win32::ComPtr<IShellExtInit> init;
  win32::ComPtr<IContextMenu> menu;
  if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit, init.PutVoid()))) return menu;
  if (FAILED(init->Initialize(nullptr, ShellDataObjectFor({file}).Get(), nullptr))) return menu;
  init->QueryInterface(IID_IContextMenu, menu.PutVoid());
  return menu;
}

class BackgroundMove : public ::testing::Test {
 protected:
  void SetUp() override {
    RemoveAllRegistrations();
    CloseAllAgents();
    ASSERT_TRUE(PathExists(kTmpfsVaultRoot)) << "the test bench maps S: to a tmpfs folder";
    RemoveTree(target);
    ASSERT_EQ(RunRegsvr32(L""), 0u);
  }
  void TearDown() override {
    CloseAllAgents();
    RemoveTree(target);
    RunRegsvr32(L"/u");
    RemoveAllRegistrations();
  }

  ComApartment apartment;
  ScratchFolder folder{L"torvo-background-move"};
  const std::wstring target = std::wstring(kTmpfsVaultRoot) + L"large.bin";
};

// Explorer hands its handlers a reference on its process; the move holds it while it runs.
TEST_F(BackgroundMove, InvokeCommandReturnsAtOnceAndTheDllAndTheHostStayUntilTheMoveHasEnded) {
  const std::wstring source = folder.Path() + L"\\large.bin";
  ASSERT_TRUE(CreateLargeFile(source, kLargeFileBytes));
  AgentProcess agent(L"/ready:1 /drive:S");
  ASSERT_NE(agent.Window(), nullptr);
  const HostProcessReference explorer;

  win32::ComPtr<IContextMenu> menu = HandlerFor(source);
  ASSERT_TRUE(menu);
  CMINVOKECOMMANDINFO command{};
  command.cbSize = sizeof(command);
  command.lpVerb = MAKEINTRESOURCEA(0);
  EXPECT_EQ(menu->InvokeCommand(&command), S_OK);
  // A move across file systems copies, then deletes the source: it is still there while the move
  // runs. How long InvokeCommand holds the thread is background_move_bench's to measure.
  EXPECT_TRUE(PathExists(source)) << "InvokeCommand waited for the move";
  EXPECT_EQ(explorer.Holders(), 1u) << "the move does not hold the host";

  // The shell lets go of the handler and asks COM to unload what it can, while the move runs.
  menu.Reset();
  const HMODULE dll = ::GetModuleHandleW(kDllName);
  ASSERT_NE(dll, nullptr);
  EXPECT_EQ(CanUnloadNowOf(dll), S_FALSE);
  ::CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(::GetModuleHandleW(kDllName), dll) << "the DLL was unloaded under its running move";

  EXPECT_TRUE(WaitUntil([dll] { return CanUnloadNowOf(dll) == S_OK; }, 120000)) << "the move did not end";
  EXPECT_TRUE(IsWholeLargeFile(target, kLargeFileBytes));
  EXPECT_FALSE(PathExists(source));
  EXPECT_EQ(explorer.Holders(), 0u);
}

// Windows 11 runs the Explorer command in COM's surrogate, which may end as soon as the shell lets
// go of the command; the host here ends right after Invoke.
TEST_F(BackgroundMove, ExplorerCommandsMoveOutlivesAHostThatEndsAtOnce) {
  const std::wstring source = folder.Path() + L"\\large.bin";
  ASSERT_TRUE(CreateLargeFile(source, kLargeFileBytes));
  AgentProcess agent(L"/ready:1 /drive:S");
  ASSERT_NE(agent.Window(), nullptr);

  EXPECT_EQ(RunProgram(L"\"" + ProgramFolder() + L"torvo_host.exe\" /command \"" + source + L"\""), 0u);
  EXPECT_TRUE(WaitUntil([&] { return !PathExists(source); }, 60000)) << "the move did not end";
  EXPECT_TRUE(IsWholeLargeFile(target, kLargeFileBytes));
}

}  // namespace
}  // namespace torvo
