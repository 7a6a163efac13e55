// hold_desktop.exe, which the scripts start before anything else in a session, calls the desktop
// ready only once it has its display driver: a desktop that answers messages but has not set up its
// display yet (as under load, for seconds) is not ready, for a program started then would go on
// without a driver and a new desktop process would write display settings between two exports.
// The bench's desktop is made to look so by taking its display property away for a moment.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/program_run.h"

namespace torvo {
namespace {

using namespace wine;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr wchar_t kDisplayProperty[] = L"__wine_display_device_guid";

// The desktop window without its display property for the object's lifetime; put back at the end.
class DisplayPropertyTakenAway {
 public:
  explicit DisplayPropertyTakenAway(HWND desktop)
      : desktop_(desktop), value_(::RemovePropW(desktop, kDisplayProperty)) {}
  DisplayPropertyTakenAway(const DisplayPropertyTakenAway&) = delete;
  DisplayPropertyTakenAway& operator=(const DisplayPropertyTakenAway&) = delete;
  ~DisplayPropertyTakenAway() {
    if (value_ != nullptr) ::SetPropW(desktop_, kDisplayProperty, value_);
  }
  bool TakenAway() const { return value_ != nullptr && ::GetPropW(desktop_, kDisplayProperty) == nullptr; }

 private:
  HWND desktop_;
  HANDLE value_;
};

TEST(HoldDesktop, TheDesktopIsReadyOnlyOnceItHasItsDisplayDriver) {
  const HWND desktop = ::GetDesktopWindow();
  ASSERT_NE(::GetPropW(desktop, kDisplayProperty), nullptr) << "the bench's desktop has no display driver";
  const std::wstring check = L"\"" + ProgramFolder() + L"hold_desktop.exe\" /check";
  {
    const DisplayPropertyTakenAway away(desktop);
    ASSERT_TRUE(away.TakenAway());
    const ProgramRun answering = RunProgram(check, {30000});
    EXPECT_THAT(answering, ExitsWith(1u));
    EXPECT_THAT(answering.output, Not(HasSubstr("ready")));
  }
  const ProgramRun ready = RunProgram(check, {30000});
  EXPECT_THAT(ready, ExitsWith(0u));
  EXPECT_THAT(ready.output, HasSubstr("ready"));
}

}  // namespace
}  // namespace torvo
