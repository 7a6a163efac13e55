// The module's texts from a real string table, their conversion to the thread's ANSI code page,
// the item that QueryContextMenu puts into a real popup menu, and when Windows 11's Explorer shows
// the package's command in its place.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "platform/win32/menu_image.h"
#include "platform/win32/packaged_command.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_handler_platform.h"
#include "resources/resource_ids.h"
#include "shellmenu/context_menu.h"
#include "tests/fakes/case_name.h"
#include "tests/wine/support/agent_process.h"
#include "tests/wine/support/import_patch.h"

namespace torvo {
namespace {

// The texts of the string table (language 0x0804), code unit by code unit.
constexpr char16_t kMenuText[] = u"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6";
constexpr char16_t kProgressTitle[] =
    u"\u6B63\u5728\u628A\u6587\u4EF6\u79FB\u5165\u5230ZebTorvo\u5E76\u52A0\u5BC6\uFF0C\u8BF7\u7A0D\u5019 ...";
// kMenuText in code page 936 (GBK): two bytes per CJK character.
constexpr char kMenuTextGbk[] = "\xD2\xC6\xB6\xAF\xB5\xBD ZebTorvo \xBC\xD3\xC3\xDC";

constexpr std::uint32_t kHelpTextA = 0x1;  // GCS_HELPTEXTA
constexpr std::uint32_t kHelpTextW = 0x5;  // GCS_HELPTEXTW

win32::Win32TextSource ProgramTexts() { return win32::Win32TextSource(::GetModuleHandleW(nullptr)); }

TEST(TextSourceUnderWine, StringTableTextsArriveExactly) {
  win32::Win32TextSource texts = ProgramTexts();
  EXPECT_EQ(texts.LoadText(IDS_MENU_TEXT), kMenuText);
  EXPECT_EQ(texts.LoadText(IDS_HELP_TEXT), kMenuText);
  EXPECT_EQ(texts.LoadText(IDS_PROGRESS_TITLE), kProgressTitle);
  EXPECT_EQ(texts.LoadText(IDS_PROGRESS_TITLE).back(), u'.');
}

TEST(TextSourceUnderWine, AMissingTextIsEmpty) {
  win32::Win32TextSource texts = ProgramTexts();
  EXPECT_EQ(texts.LoadText(IDS_PROGRESS_TITLE + 1), u"");  // in the block of the table's texts, but none
  EXPECT_EQ(texts.LoadText(4711), u"");
}

// Sets the calling thread's locale for the life of the object.
class ThreadLocale {
 public:
  explicit ThreadLocale(LCID locale) : saved_(::GetThreadLocale()) { ::SetThreadLocale(locale); }
  ThreadLocale(const ThreadLocale&) = delete;
  ThreadLocale& operator=(const ThreadLocale&) = delete;
  ~ThreadLocale() { ::SetThreadLocale(saved_); }

 private:
  LCID saved_;
};

TEST(TextSourceUnderWine, AnsiConversionFollowsTheThreadLocale) {
  const ThreadLocale chinese(MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT));
  win32::Win32TextSource texts = ProgramTexts();
  EXPECT_EQ(texts.ToThreadAnsi(kMenuText), std::string(kMenuTextGbk));
  EXPECT_EQ(texts.ToThreadAnsi(u""), std::string());
}

TEST(GetCommandStringUnderWine, HelpTextInBothForms) {
  const ThreadLocale chinese(MAKELCID(MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), SORT_DEFAULT));
  // Texts from the test program's own string table; the agent starts from its folder, bin\.
  win32::Win32HandlerPlatform real{::GetModuleHandleW(nullptr), nullptr};
  HandlerPlatform& platform = real.platform;

  wchar_t wide[64];
  ASSERT_EQ(GetCommandString(platform, 0, kHelpTextW, reinterpret_cast<char*>(wide), 64), kOk);
  EXPECT_EQ(std::u16string(win32::AsUtf16(wide)), kMenuText);
  char ansi[64];
  ASSERT_EQ(GetCommandString(platform, 0, kHelpTextA, ansi, 64), kOk);
  EXPECT_STREQ(ansi, kMenuTextGbk);
  // Cut where the caller's buffer ends: three bytes and a zero.
  char cut[4] = {'?', '?', '?', '?'};
  ASSERT_EQ(GetCommandString(platform, 0, kHelpTextA, cut, 4), kOk);
  EXPECT_EQ(std::string(cut, 4), std::string("\xD2\xC6\xB6\0", 4));
}

// A real popup menu with two items of its own.
class PopupMenu {
 public:
  PopupMenu() : menu_(::CreatePopupMenu()) {
    ::AppendMenuW(menu_, MF_STRING, 1, L"Open");
    ::AppendMenuW(menu_, MF_STRING, 2, L"Properties");
  }
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;
  ~PopupMenu() { ::DestroyMenu(menu_); }

  MenuHandle Handle() const { return reinterpret_cast<MenuHandle>(menu_); }
  int Count() const { return ::GetMenuItemCount(menu_); }

  // The identifier, text and images of the item at a position.
  struct Item {
    UINT id = 0;
    std::wstring text;
    HBITMAP image = nullptr;
  };
  Item At(UINT position) const {
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_BITMAP;
    info.dwTypeData = text;
    info.cch = 128;
    EXPECT_TRUE(::GetMenuItemInfoW(menu_, position, TRUE, &info));
    return Item{info.wID, text, info.hbmpItem};
  }

 private:
  HMENU menu_;
};

TEST(MenuTargetUnderWine, InsertsAtThePositionWithItsIdTextAndImages) {
  PopupMenu popup;
  const win32::UniqueGdiObject bitmap(::CreateBitmap(16, 16, 1, 32, nullptr));
  ASSERT_TRUE(bitmap);
  win32::Win32MenuTarget target;
  target.InsertItem(popup.Handle(), 1, kMfByPosition | kMfString, 30001, kMenuText);
  target.SetItemImage(popup.Handle(), 1, kMfByPosition, reinterpret_cast<BitmapHandle>(bitmap.Get()));
  ASSERT_EQ(popup.Count(), 3);
  const PopupMenu::Item item = popup.At(1);
  EXPECT_EQ(item.id, 30001u);
  EXPECT_EQ(item.text, win32::AsWide(kMenuText));
  EXPECT_EQ(item.image, bitmap.Get());
  EXPECT_EQ(popup.At(2).text, L"Properties");
}

// What Windows answers the question whether its first menu shows the package's command in this
// process instead of the classic item: the process's image, the build, and the package query for the
// user. Wine 8 exports neither PackageFamilyNameFromId nor GetPackagesByPackageFamily, and its
// build is the prefix's: the process's own lookups answer them here.
struct PackageAnswers {
  const char* name;
  const wchar_t* image;  // GetModuleFileNameW of the process
  DWORD build;           // RtlGetVersion's dwBuildNumber
  LONG answer;           // GetPackagesByPackageFamily asked for the count alone
  UINT32 count;          // the count it gives
  bool shown;
};

// appmodel.h's PACKAGE_ID, as far as the family needs it.
struct PackageIdView {
  UINT32 reserved;
  UINT32 processorArchitecture;
  UINT64 version;
  PCWSTR name;
  PCWSTR publisher;
};

constexpr wchar_t kFamily[] = L"ZebTorvo.TorvoShellMenu_k7vh3m2tqq8ce";
const PackageAnswers* g_answers = nullptr;
void* g_getProcAddress = nullptr;
void* g_getModuleFileName = nullptr;

LONG WINAPI BuildOfTheRow(OSVERSIONINFOW* version) {
  version->dwMajorVersion = 10;
  version->dwMinorVersion = 0;
  version->dwBuildNumber = g_answers->build;
  return 0;
}

LONG WINAPI FamilyOfThePackage(const PackageIdView* id, UINT32* length, PWSTR family) {
  if (std::wstring(id->name) != L"ZebTorvo.TorvoShellMenu" || id->publisher == nullptr) return ERROR_INVALID_PARAMETER;
  if (*length < std::size(kFamily)) return ERROR_INSUFFICIENT_BUFFER;
  std::copy(std::begin(kFamily), std::end(kFamily), family);
  return ERROR_SUCCESS;
}

// Windows answers a family it has no package of with success and a count of 0.
LONG WINAPI PackagesOfTheFamily(PCWSTR family, UINT32* count, PWSTR* names, UINT32* length, WCHAR* buffer) {
  if (names != nullptr || buffer != nullptr) return ERROR_INVALID_PARAMETER;  // asked for the count alone
  const bool ours = std::wstring(family) == kFamily;
  *count = ours ? g_answers->count : 0;
  *length = *count * 64;
  return ours ? g_answers->answer : ERROR_SUCCESS;
}

FARPROC WINAPI PackageLookups(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF) {
    const std::string wanted = name;
    if (wanted == "RtlGetVersion") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&BuildOfTheRow));
    if (wanted == "PackageFamilyNameFromId")
      return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&FamilyOfThePackage));
    if (wanted == "GetPackagesByPackageFamily")
      return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&PackagesOfTheFamily));
  }
  return reinterpret_cast<decltype(&::GetProcAddress)>(g_getProcAddress)(module, name);
}

DWORD WINAPI ImageOfTheRow(HMODULE module, LPWSTR path, DWORD size) {
  if (module != nullptr)
    return reinterpret_cast<decltype(&::GetModuleFileNameW)>(g_getModuleFileName)(module, path, size);
  const std::wstring image = g_answers->image;
  if (size <= image.size()) return 0;
  std::copy(image.begin(), image.end() + 1, path);
  return static_cast<DWORD>(image.size());
}

class PackagedCommandUnderWine : public ::testing::TestWithParam<PackageAnswers> {};

TEST_P(PackagedCommandUnderWine, ShownOnlyInWindows11sExplorerWithThePackageRegistered) {
  g_answers = &GetParam();
  const HMODULE program = ::GetModuleHandleW(nullptr);
  const wine::ImportPatch lookups(program, "kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&PackageLookups));
  const wine::ImportPatch image(program, "kernel32.dll", "GetModuleFileNameW", reinterpret_cast<void*>(&ImageOfTheRow));
  ASSERT_TRUE(lookups.Applied() && image.Applied());
  g_getProcAddress = lookups.Original();
  g_getModuleFileName = image.Original();
  EXPECT_EQ(win32::PackagedCommandOnExplorersMenu(), GetParam().shown);
}

constexpr wchar_t kExplorer[] = L"C:\\Windows\\explorer.exe";

INSTANTIATE_TEST_SUITE_P(
    Rows, PackagedCommandUnderWine,
    ::testing::Values(
        PackageAnswers{"Registered", kExplorer, 22631, ERROR_INSUFFICIENT_BUFFER, 1, true},
        PackageAnswers{"ExplorerInCapitals", L"C:\\WINDOWS\\EXPLORER.EXE", 22000, ERROR_INSUFFICIENT_BUFFER, 1, true},
        PackageAnswers{"NoPackageForTheUser", kExplorer, 22631, ERROR_SUCCESS, 0, false},
        PackageAnswers{"QueryFails", kExplorer, 22631, ERROR_ACCESS_DENIED, 0, false},
        PackageAnswers{"Windows10", kExplorer, 19045, ERROR_INSUFFICIENT_BUFFER, 1, false},
        PackageAnswers{"AnotherProgram", L"C:\\Tools\\browser.exe", 22631, ERROR_INSUFFICIENT_BUFFER, 1, false}),
    fakes::CaseName());

// The padlock the handler lends the menu, at 100 % and 200 %: 32 bits, premultiplied alpha (clear
// corners, opaque body, no channel above its alpha), the small-icon size of the scale.
TEST(MenuImageUnderWine, IsThePadlockWithAlphaAtTheSizeOfTheScale) {
  const win32::UniqueLibrary dll(::LoadLibraryExW(L"TorvoShellMenu.dll", nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(dll);
  for (const UINT dpi : {96u, 192u}) {
    const win32::UniqueGdiObject image = win32::MenuImage(dll.Get(), IDI_PADLOCK, dpi);
    DIBSECTION dib{};
    ASSERT_EQ(::GetObjectW(image.Get(), sizeof dib, &dib), static_cast<int>(sizeof dib)) << dpi;
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(dib.dsBm.bmWidth, static_cast<LONG>(dpi / 6));
    EXPECT_EQ(dib.dsBm.bmHeight, static_cast<LONG>(dpi / 6));
    const auto* pixels = static_cast<const std::uint8_t*>(dib.dsBm.bmBits);
    int clear = 0, opaque = 0, over = 0;
    for (LONG i = 0; i < dib.dsBm.bmWidth * dib.dsBm.bmHeight; ++i) {
      const std::uint8_t* pixel = pixels + 4 * i;
      clear += pixel[3] == 0;
      opaque += pixel[3] == 255;
      over += std::max({pixel[0], pixel[1], pixel[2]}) > pixel[3];
    }
    EXPECT_GT(clear, 0);
    EXPECT_GT(opaque, 0);
    EXPECT_EQ(over, 0);
  }
}

// QueryContextMenu with the real platform and a running agent whose vault is on X:.
class QueryContextMenuUnderWine : public ::testing::Test {
 protected:
  void SetUp() override { wine::CloseAllAgents(); }
  void TearDown() override { wine::CloseAllAgents(); }

  HResult Query(const char16_t* lastItem, std::uint32_t indexMenu, std::uint32_t idCmdFirst) {
    std::char_traits<char16_t>::copy(state.lastItemPath, lastItem, std::char_traits<char16_t>::length(lastItem) + 1);
    state.m_selection = {lastItem};
    return QueryContextMenu(state, platform, popup.Handle(), indexMenu, idCmdFirst, idCmdFirst + 10, 0);
  }

  // Texts from the test program's own string table; the agent starts from its folder, bin\.
  win32::Win32HandlerPlatform real{::GetModuleHandleW(nullptr), nullptr};
  HandlerPlatform& platform = real.platform;
  HandlerState state;
  PopupMenu popup;
};

TEST_F(QueryContextMenuUnderWine, ItemGoesToIndexMenuWithIdCmdFirstAndTheMenuText) {
  wine::AgentProcess vault(L"/drive:X");
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(Query(u"D:\\data\\report.doc", 1, 5000), 1);
  ASSERT_EQ(popup.Count(), 3);
  EXPECT_EQ(popup.At(1).id, 5000u);
  EXPECT_EQ(popup.At(1).text, win32::AsWide(kMenuText));
  EXPECT_EQ(popup.At(0).text, L"Open");
}

TEST_F(QueryContextMenuUnderWine, NoItemForAPathOnTheVaultDriveInEitherLetterCase) {
  wine::AgentProcess vault(L"/drive:X");
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(Query(u"X:\\docs\\a.txt", 0, 100), 0);
  EXPECT_EQ(Query(u"x:\\docs\\a.txt", 0, 100), 0);
  EXPECT_EQ(popup.Count(), 2);
  EXPECT_EQ(Query(u"y:\\docs\\a.txt", 0, 100), 1);
  EXPECT_EQ(popup.Count(), 3);
}

TEST_F(QueryContextMenuUnderWine, WithoutAnAgentOnlyProtectedPlacesLoseTheItem) {
  EXPECT_EQ(Query(u"C:\\windows\\system32", 0, 100), 0);
  EXPECT_EQ(popup.Count(), 2);
  EXPECT_EQ(Query(u"D:\\data\\a.txt", 2, 100), 1);
  EXPECT_EQ(popup.At(2).id, 100u);
}

TEST_F(QueryContextMenuUnderWine, AHungAgentDoesNotHoldTheMenu) {
  const wine::ProductAgentBound bound;
  wine::AgentProcess vault(L"/hang");
  ASSERT_NE(vault.Window(), nullptr);
  EXPECT_EQ(Query(u"D:\\data\\a.txt", 0, 100), 1);  // the answer reads as 0: no drive excluded
  EXPECT_EQ(popup.Count(), 3);
}

}  // namespace
}  // namespace torvo
