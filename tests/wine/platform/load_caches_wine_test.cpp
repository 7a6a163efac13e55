// What a load of the DLL reads once: each known folder at its first successful read, and the
// program of the agent's window once per window and process, so that an impostor's window, even one
// that comes after the agent's, is read anew.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/win32/load_caches.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_agent_channel.h"
#include "platform/win32/win32_environment.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/protected_paths.h"
#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

// A reader that counts its calls and answers what it is given.
struct CountingRead {
  int calls = 0;
  std::optional<std::u16string> answer;
  auto operator()() {
    return [this] {
      ++calls;
      return answer;
    };
  }
};

TEST(LoadCachesUnderWine, AKnownFolderIsReadOnceAFailedReadAgain) {
  win32::KnownFolderCache cache;
  CountingRead documents{0, u"C:\\users\\ann\\Documents"}, pictures;
  EXPECT_EQ(cache.Path(KnownFolder::kDocuments, documents()), u"C:\\users\\ann\\Documents");
  EXPECT_EQ(cache.Path(KnownFolder::kDocuments, documents()), u"C:\\users\\ann\\Documents");
  EXPECT_EQ(documents.calls, 1);
  EXPECT_EQ(cache.Path(KnownFolder::kPictures, pictures()), std::nullopt);
  pictures.answer = u"D:\\Pictures";
  EXPECT_EQ(cache.Path(KnownFolder::kPictures, pictures()), u"D:\\Pictures");
  EXPECT_EQ(cache.Path(KnownFolder::kPictures, pictures()), u"D:\\Pictures");
  EXPECT_EQ(pictures.calls, 2);
}

// Rows: the window and process asked after the agent's (window 0x10 of process 7): read again or not.
struct LaterWindow {
  const char* name;
  HWND window;
  DWORD processId;
  int reads;  // of both questions
};

class WindowProgramCacheUnderWine : public ::testing::TestWithParam<LaterWindow> {};

TEST_P(WindowProgramCacheUnderWine, ReadsAgainOnlyForAnotherWindowOrProcess) {
  win32::WindowProgramCache cache;
  CountingRead read{0, u"C:\\agent\\zebtorvofloat.exe"};
  const auto agentWindow = reinterpret_cast<HWND>(0x10);
  EXPECT_EQ(cache.Program(agentWindow, 7, read()), u"C:\\agent\\zebtorvofloat.exe");
  read.answer = u"C:\\other\\zebtorvofloat.exe";
  const std::u16string expected = GetParam().reads == 1 ? u"C:\\agent\\zebtorvofloat.exe" : *read.answer;
  EXPECT_EQ(cache.Program(GetParam().window, GetParam().processId, read()), expected);
  EXPECT_EQ(read.calls, GetParam().reads);
}

INSTANTIATE_TEST_SUITE_P(Rows, WindowProgramCacheUnderWine,
                         ::testing::Values(LaterWindow{"SameWindowAndProcess", reinterpret_cast<HWND>(0x10), 7, 1},
                                           LaterWindow{"AnotherWindow", reinterpret_cast<HWND>(0x20), 7, 2},
                                           LaterWindow{"TheHandleTakenByAnotherProcess", reinterpret_cast<HWND>(0x10),
                                                       8, 2}),
                         fakes::CaseName());

// The rules judge alike with and without the load's reads kept.
TEST(LoadCachesUnderWine, AnEnvironmentWithTheCacheJudgesAsOneWithout) {
  win32::KnownFolderCache cache;
  const win32::Win32Environment cached(&cache), uncached;
  for (const ProtectedPathEntry& row : g_protectedPaths) {
    if (row.folder == KnownFolder::kNone) continue;
    const std::optional<std::u16string> path = uncached.KnownFolderPath(row.folder);
    ASSERT_TRUE(path) << win32::AsWide(row.strPattern);
    EXPECT_EQ(cached.KnownFolderPath(row.folder), path);
    EXPECT_EQ(IsProtectedPath(cached, path->c_str()), 1) << win32::AsWide(path->c_str());
  }
}

// An impostor that makes the agent's window after the agent has gone is no agent to a channel that
// kept the agent's program.
TEST(LoadCachesUnderWine, AnImpostorAfterTheAgentIsReadAsItself) {
  wine::CloseAllAgents();
  win32::WindowProgramCache programs;
  win32::Win32AgentChannel channel(&programs);
  const win32::Win32Environment environment;
  const AgentLink link{channel, environment, win32::AsUtf16(wine::AgentProgramPath().c_str())};
  {
    wine::AgentProcess agent;
    ASSERT_NE(agent.Window(), nullptr);
    EXPECT_EQ(FindAgentWindow(link), reinterpret_cast<WindowHandle>(agent.Window()));
  }
  const wine::ScratchFolder folder(L"torvo-impostor");
  const std::wstring impostor = folder.AddFolder(L"elsewhere") + L"\\zebtorvofloat.exe";
  ASSERT_TRUE(::CopyFileW(wine::AgentProgramPath().c_str(), impostor.c_str(), FALSE));
  {
    wine::AgentProcess agent(L"", impostor);
    ASSERT_NE(agent.Window(), nullptr);
    EXPECT_EQ(FindAgentWindow(link), 0u);
  }
  wine::CloseAllAgents();
}

}  // namespace
}  // namespace torvo
