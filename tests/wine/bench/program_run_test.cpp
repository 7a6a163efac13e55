// The bench's one way of starting a program (tests/wine/support/program_run.h): which starts it
// tries again and how each run is recorded, with run_stand_in.exe behaving as each row asks.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/unique_handle.h"
#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/program_run.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::HasSubstr;

struct RunRow {
  const char* name;
  const wchar_t* arguments;  // run_stand_in.exe's; null: a program that is not there
  DWORD timeoutMs;
  bool speaks;
  bool started;
  bool hung;
  DWORD exitCode;
  int attempts;
  const char* said;  // in the printed record
};

class StartHelper : public ::testing::TestWithParam<RunRow> {
 protected:
  ScratchFolder folder{L"torvo-program-run"};
};

TEST_P(StartHelper, TriesAgainOnlyAStartThatLeftNoTraceAndRecordsEachRun) {
  const RunRow& row = GetParam();
  std::wstring line = L"\"" + folder.Path() + L"\\missing.exe\"";
  if (row.arguments != nullptr) {
    line = L"\"" + ProgramFolder() + L"run_stand_in.exe\" " + row.arguments;
    const std::size_t mark = line.find(L"MARK");
    if (mark != std::wstring::npos) line.replace(mark, 4, folder.Path() + L"\\started-once");
  }
  const ProgramRun run = RunProgram(line, {row.timeoutMs, true, row.speaks});
  const std::string record = ::testing::PrintToString(run);
  EXPECT_EQ(run.started, row.started) << record;
  EXPECT_EQ(run.hung, row.hung) << record;
  EXPECT_EQ(run.exitCode, row.exitCode) << record;
  EXPECT_EQ(run.attempts, row.attempts) << record;
  EXPECT_THAT(record, HasSubstr(row.said));
  if (row.hung) {
    // The record's process ended with the time-out: it holds nothing into the next case.
    ASSERT_THAT(run.output, HasSubstr("process ")) << record;
    const DWORD id = std::stoul(run.output.substr(run.output.find(' ') + 1));
    const win32::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    EXPECT_TRUE(!process || ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) << "the hung program runs on";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartHelper,
    ::testing::Values(
        RunRow{"AMissingProgramIsNotTriedAgain", nullptr, 60000, false, false, false, 0, 1, "not started, error "},
        RunRow{"AStartWineGaveUpOnIsTriedAgain", L"/loader-once:MARK", 60000, false, true, false, 0, 2, "output:\nran"},
        RunRow{"AProgramThatNeverStartsIsTriedThreeTimes", L"/loader", 60000, false, true, false, 0xC0000142, 3,
               "(0xC0000142), no output"},
        RunRow{"AProgramThatFailsIsNotTriedAgain", L"/fail", 60000, true, true, false, 3, 1, "failing as asked"},
        RunRow{"ALoaderStatusAfterOutputIsTheProgramsOwn", L"/loader-after-output", 60000, false, true, false,
               0xC0000142, 1, "ran, then failed"},
        RunRow{"ASilentFailureIsTheProgramsOwn", L"/fail-silently", 60000, false, true, false, 1, 1, "exit code 1"},
        RunRow{"ASilentFailureOfAProgramThatAlwaysWritesIsTriedAgain", L"/fail-silently", 60000, true, true, false, 1,
               3, "3 attempts"},
        RunRow{"AHungProgramIsEndedAtItsTimeOut", L"/hang", 2000, false, true, true, 0, 1,
               "hung: still running after 2000 ms, then ended"}),
    fakes::CaseName());

// The ExitsWith matcher that every assertion on a run uses prints the whole record.
TEST(StartHelperAssertion, AFailedExpectationPrintsTheRecord) {
  ProgramRun run;
  run.commandLine = L"regsvr32.exe /s x.dll";
  run.started = true;
  run.exitCode = 5;
  run.attempts = 1;
  run.output = "what it said";
  ::testing::StringMatchResultListener listener;
  EXPECT_FALSE(::testing::ExplainMatchResult(ExitsWith(0u), run, &listener));
  EXPECT_THAT(listener.str(), HasSubstr("regsvr32.exe /s x.dll"));
  EXPECT_THAT(listener.str(), HasSubstr("exit code 5"));
  EXPECT_THAT(listener.str(), HasSubstr("what it said"));
}

}  // namespace
}  // namespace torvo
