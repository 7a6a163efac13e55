// The protected-place test under Wine's real environment (SystemRoot C:\windows, lower-case w).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_environment.h"
#include "shellmenu/protected_paths.h"
#include "tests/wine/support/shell_items.h"

namespace torvo {
namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t buffer[MAX_PATH] = {};
  ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return buffer;
}

std::int32_t Protected(const std::wstring& path) {
  static const win32::Win32Environment env;
  return IsProtectedPath(env, win32::AsUtf16(path.c_str()));
}

// Explorer hands over paths as the file system spells them, whatever the case of %SystemRoot%.
TEST(ProtectedPathUnderWine, TheWindowsFolderIsProtectedInEveryLetterCase) {
  EXPECT_EQ(Variable(L"SystemRoot"), L"C:\\windows");
  EXPECT_EQ(Protected(L"C:\\windows\\system32\\drivers"), 1);
  EXPECT_EQ(Protected(L"C:\\windows.old\\readme.txt"), 1);
  EXPECT_EQ(Protected(L"C:\\Windows\\System32"), 1);
  EXPECT_EQ(Protected(L"c:\\WINDOWS"), 1);
}

TEST(ProtectedPathUnderWine, ProfileFoldersAreProtectedButNotWhatTheyHold) {
  const std::wstring profile = Variable(L"USERPROFILE");
  ASSERT_FALSE(profile.empty());
  EXPECT_EQ(Protected(profile), 1);
  EXPECT_EQ(Protected(profile + L"\\Desktop"), 1);
  EXPECT_EQ(Protected(profile + L"\\Desktop\\notes.txt"), 0);
  EXPECT_EQ(Protected(Variable(L"APPDATA")), 1);
  EXPECT_EQ(Protected(Variable(L"APPDATA") + L"\\Vendor"), 0);
}

TEST(ProtectedPathUnderWine, DriveRootsProgramFolderAndBlanks) {
  EXPECT_EQ(Protected(L"C:\\"), 1);
  EXPECT_EQ(Protected(L"z:\\"), 1);
  EXPECT_EQ(Protected(L"C:\\users"), 1);  // %SystemDrive%\Users, letter case aside
  EXPECT_EQ(Protected(L" \t" + Variable(L"ProgramFiles") + L"\t "), 1);
  EXPECT_EQ(Protected(Variable(L"ProgramFiles") + L"\\App"), 0);
  EXPECT_EQ(Protected(Variable(L"CommonProgramFiles") + L"\\x.dll"), 1);
  EXPECT_EQ(Protected(L"C:\\data\\report.doc"), 0);
}

TEST(ProtectedPathUnderWine, TheEnvironmentIsReadAtEveryTest) {
  ASSERT_TRUE(::SetEnvironmentVariableW(L"APPDATA", L"C:\\elsewhere"));
  EXPECT_EQ(Protected(L"C:\\elsewhere"), 1);
  // The platform's ordinal comparison folds letters beyond ASCII too (Latin-1, Cyrillic).
  ASSERT_TRUE(::SetEnvironmentVariableW(L"APPDATA", L"C:\\D\u00E9j\u00E0 \u0432\u044E"));
  EXPECT_EQ(Protected(L"c:\\D\u00C9J\u00C0 \u0412\u042E"), 1);
  EXPECT_EQ(Protected(L"C:\\Deja \u0432\u044E"), 0);
  ::SetEnvironmentVariableW(L"SystemDrive", nullptr);
  EXPECT_EQ(Protected(L"C:\\Users"), 0);  // row 6 stays unexpanded
  EXPECT_EQ(Protected(L"C:\\"), 1);       // the drive-root rows still hold
  ::SetEnvironmentVariableW(L"SystemDrive", L"C:");
}

std::wstring ComputerName(COMPUTER_NAME_FORMAT format) {
  wchar_t name[256] = {};
  DWORD units = 256;
  return ::GetComputerNameExW(format, name, &units) ? name : L"";
}

// Every spelling Windows opens is judged as the folder it names: the full form is the platform's own
// (GetFullPathNameW against this process's current folders), this machine is each of its names.
TEST(ProtectedPathUnderWine, EverySpellingIsJudgedAsTheFolderItNames) {
  const std::wstring dns = ComputerName(ComputerNameDnsFullyQualified);
  const std::wstring netbios = ComputerName(ComputerNameNetBIOS);
  ASSERT_FALSE(netbios.empty());
  for (const std::wstring& path :
       {std::wstring(L"C:\\windows\\system32\\.."), std::wstring(L"C:\\x\\..\\windows\\a.dll"),
        std::wstring(L"C:\\\\windows\\a"), std::wstring(L"\\\\.\\UNC\\localhost\\C$\\windows"),
        std::wstring(L"\\\\localhost\\ADMIN$\\system32"), std::wstring(L"\\\\LOCALHOST.\\c$\\windows"),
        std::wstring(L"\\\\127.0.0.2\\C$\\windows"), L"\\\\" + netbios + L"\\C$\\windows",
        L"\\\\" + (dns.empty() ? netbios : dns) + L"\\C$\\windows"}) {
    EXPECT_EQ(Protected(path), 1) << std::string(path.begin(), path.end());
  }
  wchar_t current[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, current);
  ASSERT_TRUE(::SetCurrentDirectoryW(L"C:\\users"));
  EXPECT_EQ(Protected(L"..\\windows\\a.dll"), 1);
  EXPECT_EQ(Protected(L"C:Public"), 1);  // drive-relative: C:\users\Public
  EXPECT_EQ(Protected(L"report.doc"), 0);
  ::SetCurrentDirectoryW(current);
  EXPECT_EQ(Protected(L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\windows"), 0);
  EXPECT_EQ(Protected(L"\\\\fileserver\\ADMIN$\\system32"), 0);
}

// Only an existing item that is no folder is a file; a folder and a missing item are not, so they
// are judged against the known folders.
TEST(ProtectedPathUnderWine, OnlyAnExistingItemThatIsNoFolderNamesAFile) {
  const win32::Win32Environment env;
  const wine::ScratchFolder folder(L"torvo-names-a-file");
  const std::wstring file = folder.AddFile(L"report.doc"), photos = folder.AddFolder(L"photos");
  const auto namesAFile = [&](const std::wstring& path) { return env.NamesAFile(win32::AsUtf16(path.c_str())); };
  EXPECT_TRUE(namesAFile(file));
  EXPECT_FALSE(namesAFile(photos));
  EXPECT_FALSE(namesAFile(folder.Path() + L"\\missing.doc"));
}

// The adapter expands in one call what fits a path buffer and asks again for what does not.
TEST(ProtectedPathUnderWine, ExpansionsOfEveryLengthComeBackWhole) {
  const win32::Win32Environment env;
  for (const std::size_t length : {258u, 259u, 260u, 600u}) {
    const std::wstring value(length, L'x');
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TORVO_LONG", value.c_str()));
    const std::optional<std::u16string> expanded = env.ExpandVariables(u"%TORVO_LONG%");
    ASSERT_TRUE(expanded) << length;
    EXPECT_EQ(*expanded, std::u16string(length, u'x')) << length;
  }
  ::SetEnvironmentVariableW(L"TORVO_LONG", nullptr);
}

}  // namespace
}  // namespace torvo
