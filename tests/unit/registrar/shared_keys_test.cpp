// Which keys 64-bit Windows shows to 64-bit and 32-bit programs alike, as Microsoft lists them for
// Windows 7 and later, beyond the keys of the registration scripts (RemovalBesideTheOtherBuild).
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "registrar/shared_keys.h"

namespace torvo {
namespace {

TEST(SharedKeys, AreThoseBelowTheClassesButTheClassAndInterfaceKeys) {
  struct Row {
    std::u16string_view path;
    bool shared;
  };
  constexpr Row kRows[] = {
      {u"HKCR\\clsid\\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}\\InprocServer32", false},
      {u"HKCR\\CLSIDX", true},
      {u"HKLM\\SOFTWARE\\Classes\\AppID\\TorvoShellMenu.DLL", true},
      {u"HKLM\\Software\\Classes\\Interface\\{2D93C6E4-B751-4F2A-8C09-6A1E5F37D2B0}", false},
      {u"HKLM\\Software\\Classes\\Media Type", false},
      {u"HKLM\\Software\\Classes\\Wow6432Node\\TypeLib", false},
      {u"HKCU\\Software\\Classes\\TypeLib\\{8E47A1D9-3F62-4C05-A7B3-91D6E2F04B88}", true},
      {u"HKLM\\Software\\ClassesX", false},
      {u"HKLM\\Software", false},
      {u"HKLM\\System\\CurrentControlSet", true},
      {u"HKCU\\Software\\ZebTorvo", true},
  };
  for (const Row& row : kRows) {
    EXPECT_EQ(IsSharedBetweenViews(row.path), row.shared) << std::string(row.path.begin(), row.path.end());
  }
}

}  // namespace
}  // namespace torvo
