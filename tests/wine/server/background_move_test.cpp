// The direct move into a vault drive through the DLL as COM loads it, and the moves that must
// outlive the process that asked for them:
// - InvokeCommand returns at once, and the DLL stays loaded until the move that runs on its own
//   thread has ended. The move's file operation is held at a gate that the test opens: the move is
//   still running because the test holds it, not because a large copy is slow.
// - The Explorer command's move, in torvo-move.exe, and the classic move of a host that offers no
//   hold on its process, complete although the process that invoked them ends at once: 1 GiB into
//   S: (a tmpfs, another file system, where the move copies and deletes), run by this tree only.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/host_process.h"
#include "tests/wine/support/import_patch.h"
#include "tests/wine/support/large_file.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;

constexpr ULONGLONG kLargeFileBytes = 1ull << 30;  // copying it takes seconds
constexpr wchar_t kDllName[] = L"TorvoShellMenu.dll";
// A host that ends at once, and then the move it left running: each well inside the case's limit.
constexpr DWORD kHostMs = 40000;
constexpr DWORD kMoveMs = 60000;

// The gate before the DLL's file operation: the move's thread says that it arrived, then waits
// until the test opens the gate (or, should InvokeCommand itself wait for the move, until the
// gate gives up, which the test sees).
struct MoveGate {
  win32::UniqueHandle arrived{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  win32::UniqueHandle open{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  bool gaveUp = false;
  void* original = nullptr;
};
MoveGate* g_gate = nullptr;

int WINAPI GatedFileOperation(LPSHFILEOPSTRUCTW operation) {
  ::SetEvent(g_gate->arrived.Get());
  g_gate->gaveUp = ::WaitForSingleObject(g_gate->open.Get(), 30000) != WAIT_OBJECT_0;
  return reinterpret_cast<decltype(&::SHFileOperationW)>(g_gate->original)(operation);
}

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
    ASSERT_THAT(RunRegsvr32(L""), ExitsWith(0u));
  }
  void TearDown() override {
    CloseAllAgents();
    RemoveTree(target);
    RemoveAllRegistrations();
  }

  ComApartment apartment;
  ScratchFolder folder{L"torvo-background-move"};
  const std::wstring target = std::wstring(kTmpfsVaultRoot) + L"large.bin";
};

// Explorer hands its handlers a reference on its process; the move holds it while it runs.
TEST_F(BackgroundMove, InvokeCommandReturnsAtOnceAndTheDllAndTheHostStayUntilTheMoveHasEnded) {
  const std::wstring source = folder.AddFile(L"large.bin", std::string(65536, 'm'));
  AgentProcess agent(L"/ready:1 /drive:S");
  ASSERT_NE(agent.Window(), nullptr);
  const HostProcessReference explorer;

  win32::ComPtr<IContextMenu> menu = HandlerFor(source);
  ASSERT_TRUE(menu);
  const HMODULE dll = ::GetModuleHandleW(kDllName);
  ASSERT_NE(dll, nullptr);
  MoveGate gate;
  g_gate = &gate;
  const ImportPatch patch(dll, "shell32.dll", "SHFileOperationW", reinterpret_cast<void*>(&GatedFileOperation));
  ASSERT_TRUE(patch.Applied());
  gate.original = patch.Original();

  CMINVOKECOMMANDINFO command{};
  command.cbSize = sizeof(command);
  command.lpVerb = MAKEINTRESOURCEA(0);
  EXPECT_EQ(menu->InvokeCommand(&command), S_OK);
  ASSERT_EQ(::WaitForSingleObject(gate.arrived.Get(), kMoveMs), WAIT_OBJECT_0) << "the move never began";
  EXPECT_FALSE(gate.gaveUp) << "InvokeCommand waited for the move";
  EXPECT_TRUE(PathExists(source));
  EXPECT_EQ(explorer.Holders(), 1u) << "the move does not hold the host";

  // The shell lets go of the handler and asks COM to unload what it can, while the move runs.
  menu.Reset();
  EXPECT_EQ(CanUnloadNowOf(dll), S_FALSE);
  ::CoFreeUnusedLibrariesEx(0, 0);
  EXPECT_EQ(::GetModuleHandleW(kDllName), dll) << "the DLL was unloaded under its running move";

  ::SetEvent(gate.open.Get());
  EXPECT_TRUE(WaitFor(
      "the move to end", [dll] { return CanUnloadNowOf(dll) == S_OK; }, kMoveMs));
  EXPECT_FALSE(gate.gaveUp);
  EXPECT_EQ(FileBytes(target), std::string(65536, 'm'));
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

  EXPECT_THAT(RunProgram(L"\"" + ProgramFolder() + L"torvo_host.exe\" /command \"" + source + L"\"", {kHostMs}),
              ExitsWith(0u));
  EXPECT_TRUE(WaitFor(
      "the move to end", [&] { return !PathExists(source); }, kMoveMs));
  EXPECT_TRUE(IsWholeLargeFile(target, kLargeFileBytes));
}

// Another program's Open dialog offers no hold on its process and may end right after
// InvokeCommand: the classic item's move then runs in torvo-move.exe and arrives whole. Asked with
// CMIC_MASK_NOASYNC, it is whole when the call returns.
class HostThatEndsAtOnce : public BackgroundMove, public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(HostThatEndsAtOnce, TheClassicMoveOutlivesAHostThatOffersNoHold) {
  const std::wstring source = folder.Path() + L"\\large.bin";
  ASSERT_TRUE(CreateLargeFile(source, kLargeFileBytes));
  AgentProcess agent(L"/ready:1 /drive:S");
  ASSERT_NE(agent.Window(), nullptr);

  const bool noAsync = std::wstring(GetParam()).find(L"/noasync") != std::wstring::npos;
  EXPECT_THAT(
      RunProgram(L"\"" + ProgramFolder() + L"torvo_host.exe\" " + GetParam() + L" \"" + source + L"\"", {kHostMs}),
      ExitsWith(0u));
  if (!noAsync) {
    EXPECT_TRUE(WaitFor(
        "the move to end", [&] { return !PathExists(source); }, kMoveMs));
  }
  EXPECT_FALSE(PathExists(source));
  EXPECT_TRUE(IsWholeLargeFile(target, kLargeFileBytes));
}

// Asked with CMIC_MASK_FLAG_NO_UI, the DLL starts torvo-move.exe with /noui, which it accepts.
INSTANTIATE_TEST_SUITE_P(Hosts, HostThatEndsAtOnce,
                         ::testing::Values(L"/invoke /end", L"/invoke /noasync /end", L"/invoke /noui /end"));

}  // namespace
}  // namespace torvo
