// Both builds registered machine-wide side by side, each with its own regsvr32: removing one leaves
// the other whole, in either order, and the shared keys go with the last. (Wine keeps the user's
// classes in one view, CLSID included, so per-user registrations of both builds overwrite each
// other's class here; the native tests prove the per-user removal.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/wine/support/registration_table.h"
#include "tests/wine/support/server_dll.h"

namespace torvo {
namespace {

using namespace wine;

struct Build {
  REGSAM view;  // the registry view of the build's own keys
  const wchar_t* typeLibPlatform;
  std::wstring dll;
  ProgramRun (*regsvr32)(const std::wstring& switches);
};

ProgramRun Regsvr32Of64Bit(const std::wstring& switches) { return RunRegsvr32(switches); }

const Build k64 = {KEY_WOW64_64KEY, L"win64", ServerDllPath(), &Regsvr32Of64Bit};
const Build k32 = {KEY_WOW64_32KEY, L"win32", Win32DllPath(), &RunRegsvr32Of32Bit};

const std::wstring kClasses = L"Software\\Classes\\";
const std::wstring kLibrary = kClasses + L"TypeLib\\" + kLibIdText + L"\\1.0\\0\\";

std::wstring Read(const std::wstring& path, REGSAM view = 0, const std::wstring& value = L"") {
  std::wstring text;
  return ReadRegString(HKEY_LOCAL_MACHINE, path, value, text, view) ? text : L"<missing>";
}

// The keys that hold one build's own registration, in its view.
void ExpectOwnKeys(const Build& b, bool present) {
  const auto expect = [present](const std::wstring& found, const std::wstring& wanted) {
    EXPECT_EQ(found, present ? wanted : L"<missing>");
  };
  expect(Read(kClasses + L"CLSID\\" + kClsidText + L"\\InprocServer32", b.view), b.dll);
  expect(Read(kClasses + L"CLSID\\" + kIidText + L"\\InprocServer32", b.view), b.dll);
  expect(Read(kClasses + L"Interface\\" + kIidText + L"\\ProxyStubClsid32", b.view), kIidText);
  expect(Read(kLibrary + b.typeLibPlatform), b.dll);
  expect(Read(kApprovedKey, b.view, kApprovalValue), L"ZebTorvoShellExt");
}

// The keys both views share, which either build's registration holds.
void ExpectSharedKeys(bool present) {
  const std::wstring wanted = present ? std::wstring(kClsidText) : L"<missing>";
  for (const wchar_t* kind : kHandlerClasses) {
    EXPECT_EQ(Read(kClasses + kind + L"\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt"), wanted) << kind;
  }
  EXPECT_EQ(Read(kClasses + L"TorvoShellMenu.TorvoShellContextMenu\\CLSID"), wanted);
  EXPECT_EQ(Read(kClasses + L"AppID\\TorvoShellMenu.DLL", 0, L"AppID"),
            present ? std::wstring(kAppIdText) : L"<missing>");
}

struct Order {
  const char* name;
  const Build* first;
  const Build* second;
  const Build* removed;  // one of the two
};

class Coexistence : public ::testing::TestWithParam<Order> {
 protected:
  void SetUp() override { RemoveAllRegistrations(); }
  void TearDown() override { RemoveAllRegistrations(); }
};

TEST_P(Coexistence, RemovingOneBuildLeavesTheOtherWholeAndTheLastTakesTheSharedKeys) {
  const Order& order = GetParam();
  const Build& kept = order.removed == order.first ? *order.second : *order.first;
  ASSERT_THAT(order.first->regsvr32(L""), ExitsWith(0u));
  ASSERT_THAT(order.second->regsvr32(L""), ExitsWith(0u));
  ExpectOwnKeys(*order.first, true);
  ExpectOwnKeys(*order.second, true);

  ASSERT_THAT(order.removed->regsvr32(L"/u"), ExitsWith(0u));
  ExpectOwnKeys(*order.removed, false);
  ExpectOwnKeys(kept, true);
  ExpectSharedKeys(true);

  ASSERT_THAT(kept.regsvr32(L"/u"), ExitsWith(0u));
  ExpectOwnKeys(kept, false);
  ExpectSharedKeys(false);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClasses + L"TypeLib\\" + kLibIdText));
}

INSTANTIATE_TEST_SUITE_P(Orders, Coexistence,
                         ::testing::Values(Order{"SixtyFourThenThirtyTwoRemovingThirtyTwo", &k64, &k32, &k32},
                                           Order{"SixtyFourThenThirtyTwoRemovingSixtyFour", &k64, &k32, &k64},
                                           Order{"ThirtyTwoThenSixtyFourRemovingThirtyTwo", &k32, &k64, &k32},
                                           Order{"ThirtyTwoThenSixtyFourRemovingSixtyFour", &k32, &k64, &k64}),
                         fakes::CaseName());

// A registration for this user beside the other build's for every user: the user's removal looks
// for the other build in the user's classes, not the machine's, and takes the user's shared keys.
TEST_F(Coexistence, AUsersRemovalTakesTheUsersSharedKeysBesideTheOtherBuildsForEveryUser) {
  ASSERT_THAT(k32.regsvr32(L""), ExitsWith(0u));
  ASSERT_THAT(k64.regsvr32(L"/n /i:user"), ExitsWith(0u));
  ASSERT_THAT(k64.regsvr32(L"/u /n /i:user"), ExitsWith(0u));
  for (const wchar_t* kind : kHandlerClasses) {
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClasses + kind + L"\\ShellEx\\ContextMenuHandlers\\ZebTorvoShellExt"))
        << kind;
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClasses + L"TorvoShellMenu.TorvoShellContextMenu"));
  // The other build's class stays. (Wine writes a user's type library into the machine's keys, and
  // its removal deletes the interface's keys of both views there: Windows keeps them the user's.)
  EXPECT_EQ(Read(kClasses + L"CLSID\\" + kClsidText + L"\\InprocServer32", k32.view), k32.dll);
  ExpectSharedKeys(true);
}

}  // namespace
}  // namespace torvo
