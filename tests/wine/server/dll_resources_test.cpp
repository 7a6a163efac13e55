// Every resource of TorvoShellMenu.dll, read from the built DLL loaded as a data file.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "resource_ids.h"
#include "shellmenu/text_source.h"
#include "tests/fakes/case_name.h"
#include "torvo_version.h"

namespace torvo {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

// The portable code loads the texts by its own names for the same numbers.
static_assert(IDS_PRODUCT_NAME == IDS_TORVO_PRODUCT_NAME && IDS_MENU_TEXT == IDS_TORVO_MENU_TEXT &&
              IDS_HELP_TEXT == IDS_TORVO_HELP_TEXT && IDS_PROGRESS_TITLE == IDS_TORVO_PROGRESS_TITLE);

constexpr WORD kEnglishUnitedStates = 0x0409;
constexpr WORD kChineseSimplified = 0x0804;

std::wstring BuiltDllPath() {
  wchar_t self[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring path(self, length);
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"" TORVO_RESOURCE_DLL;
}

// The bytes of a file of the host, read through Wine's drive Z: (the host's root).
std::string HostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
std::string SourceFile(const char* relative) { return HostFile(std::string(TORVO_SOURCE_DIR) + "/" + relative); }

// A resource name or type as the enumeration gives it: "#<number>" or the text.
std::wstring NameOf(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name));
  return name;
}

std::wstring Entry(LPCWSTR type, LPCWSTR name, WORD language) {
  wchar_t lang[8] = {};
  ::swprintf(lang, 8, L"%04x", language);
  return NameOf(type) + L" " + NameOf(name) + L" " + lang;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR found) {
  reinterpret_cast<std::set<std::wstring>*>(found)->insert(Entry(type, name, language));
  return TRUE;
}
BOOL CALLBACK AddName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found) {
  return ::EnumResourceLanguagesW(module, type, name, AddLanguage, found);
}
BOOL CALLBACK AddType(HMODULE module, LPWSTR type, LONG_PTR found) {
  return ::EnumResourceNamesW(module, type, AddName, found);
}

class DllResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module.Reset(::LoadLibraryExW(BuiltDllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module) << "cannot load the DLL as data, error " << ::GetLastError();
  }

  // The bytes of one resource in one language; empty when it is missing.
  std::string Bytes(LPCWSTR type, LPCWSTR name, WORD language) const {
    HRSRC found = ::FindResourceExW(module.Get(), type, name, language);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(module.Get(), found);
    const auto* data = static_cast<const char*>(::LockResource(loaded));
    return data != nullptr ? std::string(data, ::SizeofResource(module.Get(), found)) : std::string();
  }
  std::string Bytes(LPCWSTR type, int number, WORD language) const {
    return Bytes(type, MAKEINTRESOURCEW(number), language);
  }

  win32::UniqueLibrary module;
};

TEST_F(DllResources, TheTableAndNothingElse) {
  std::set<std::wstring> found;
  ASSERT_TRUE(::EnumResourceTypesW(module.Get(), AddType, reinterpret_cast<LONG_PTR>(&found)));
  const std::set<std::wstring> expected = {
      L"REGISTRY #101 0409", L"REGISTRY #102 0804", L"TYPELIB #1 0409",
      L"#2 #201 0804",   // bitmap
      L"#14 #202 0804",  // icon group: the padlock at five sizes
      L"#3 #1 0804",     // its images
      L"#3 #2 0804",         L"#3 #3 0804",         L"#3 #4 0804",      L"#3 #5 0804",
      L"#6 #7 0804",     // string table block of ids 96 to 111
      L"#16 #1 0804",    // version
      L"#24 #2 0409",    // manifest
      L"#10 #301 0409",  // raw data
  };
  EXPECT_EQ(found, expected);
}

// The two registry scripts: pure ASCII, tab-indented lines ending in CR LF, the last one "}", no
// terminating zero; byte for byte the files of the source tree.
struct ScriptRow {
  const char* name;
  int number;
  WORD language;
  const char* file;
  std::size_t size;
  const char* firstLines;
};

void PrintTo(const ScriptRow& row, std::ostream* out) { *out << row.name; }

class RegistryScript : public DllResources, public ::testing::WithParamInterface<ScriptRow> {};

TEST_P(RegistryScript, IsTheSourceFileByteForByte) {
  const ScriptRow& row = GetParam();
  const std::string script = Bytes(L"REGISTRY", row.number, row.language);
  EXPECT_EQ(script, SourceFile(row.file));
  EXPECT_EQ(script.size(), row.size);
  EXPECT_EQ(script.rfind(row.firstLines, 0), 0u);
  EXPECT_TRUE(script.ends_with("\r\n}\r\n"));
  for (std::size_t i = 0; i < script.size(); ++i) {
    const auto byte = static_cast<unsigned char>(script[i]);
    const bool printable = (byte >= 0x20 && byte < 0x7F) || byte == '\t';
    const bool lineEnd = (byte == '\r' && i + 1 < script.size() && script[i + 1] == '\n') ||
                         (byte == '\n' && i > 0 && script[i - 1] == '\r');
    ASSERT_TRUE(printable || lineEnd) << "byte " << int{byte} << " at " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RegistryScript,
    ::testing::Values(
        ScriptRow{"AppId", IDR_TORVO_APPID, kEnglishUnitedStates, "resources/torvo_appid.rgs", 133,
                  "HKCR\r\n{\r\n\tNoRemove AppID\r\n\t{\r\n\t\t'%APPID%' = s 'TorvoShellMenu'\r\n"},
        ScriptRow{"Handler", IDR_TORVO_HANDLER, kChineseSimplified, "resources/torvo_handler.rgs", 1683,
                  "HKCR\r\n{\r\n\tTorvoShellMenu.TorvoShellContextMenu.1 = s 'TorvoShellContextMenu Class'\r\n"}),
    fakes::CaseName());

TEST_F(DllResources, HandlerScriptNamesTheHandlerKeyFiveTimesWithTwoBlanks) {
  const std::string script = Bytes(L"REGISTRY", IDR_TORVO_HANDLER, kChineseSimplified);
  const std::string line = "ForceRemove ZebTorvoShellExt  = s '{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}'\r\n";
  int count = 0;
  for (auto at = script.find(line); at != std::string::npos; at = script.find(line, at + 1)) ++count;
  EXPECT_EQ(count, 5);
}

// Entry i of a string table block: a length in UTF-16 code units, then the code units.
std::vector<std::u16string> StringBlock(const std::string& bytes) {
  std::vector<std::u16string> entries;
  std::size_t at = 0;
  for (int i = 0; i < 16 && at + 2 <= bytes.size(); ++i) {
    const std::uint16_t length = static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8;
    at += 2;
    std::u16string text(length, u'\0');
    for (auto& unit : text) {
      unit =
          static_cast<char16_t>(static_cast<std::uint8_t>(bytes[at]) | static_cast<std::uint8_t>(bytes[at + 1]) << 8);
      at += 2;
    }
    entries.push_back(text);
  }
  return entries;
}

TEST_F(DllResources, StringTableHoldsTheFourTextsInChineseOnly) {
  // Ids 96 to 111 share block 7; 100 to 103 are entries 4 to 7.
  const auto block = StringBlock(Bytes(RT_STRING, 7, kChineseSimplified));
  ASSERT_EQ(block.size(), 16u);
  EXPECT_EQ(block[IDS_TORVO_PRODUCT_NAME - 96], u"ZebTorvo");
  EXPECT_EQ(block[IDS_TORVO_MENU_TEXT - 96], u"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6");
  EXPECT_EQ(block[IDS_TORVO_HELP_TEXT - 96], u"\u79FB\u52A8\u5230 ZebTorvo \u52A0\u5BC6");
  EXPECT_EQ(block[IDS_TORVO_PROGRESS_TITLE - 96],
            u"\u6B63\u5728\u628A\u6587\u4EF6\u79FB\u5165\u5230ZebTorvo\u5E76\u52A0\u5BC6\uFF0C\u8BF7\u7A0D\u5019 ...");
  for (int i = 0; i < 16; ++i) {
    if (i < 4 || i > 7) {
      EXPECT_TRUE(block[i].empty()) << "id " << 96 + i;
    }
  }
  // LoadStringW finds them whatever the thread's language.
  wchar_t text[64] = {};
  EXPECT_EQ(::LoadStringW(module.Get(), IDS_TORVO_MENU_TEXT, text, 64), 15);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), block[IDS_TORVO_MENU_TEXT - 96]);
}

TEST_F(DllResources, BitmapIs16By16With24BitsPerPixel) {
  const std::string bytes = Bytes(RT_BITMAP, IDB_MENU_BITMAP, kChineseSimplified);
  ASSERT_GE(bytes.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  std::memcpy(&header, bytes.data(), sizeof header);
  EXPECT_EQ(header.biSize, sizeof(BITMAPINFOHEADER));
  EXPECT_EQ(header.biWidth, 16);
  EXPECT_EQ(header.biHeight, 16);
  EXPECT_EQ(header.biPlanes, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(bytes.size(), sizeof(BITMAPINFOHEADER) + 16 * 16 * 3);
}

// The keys of the children of a version record node: {length, value length, type, key, padding,
// value, padding, children}, every part aligned to 32 bits.
struct VersionNode {
  std::u16string key;
  std::size_t begin;  // offset of the node
  std::size_t end;
  std::size_t children;  // offset of the first child
};

VersionNode ReadVersionNode(const std::string& bytes, std::size_t at) {
  auto word = [&](std::size_t offset) -> std::uint16_t {
    return static_cast<std::uint8_t>(bytes[offset]) | static_cast<std::uint8_t>(bytes[offset + 1]) << 8;
  };
  auto align = [](std::size_t offset) { return (offset + 3) & ~std::size_t{3}; };
  VersionNode node{u"", at, at + word(at), 0};
  std::size_t cursor = at + 6;
  for (; word(cursor) != 0; cursor += 2) node.key += static_cast<char16_t>(word(cursor));
  cursor = align(cursor + 2);
  const std::size_t valueBytes = word(at + 4) == 1 ? word(at + 2) * 2u : word(at + 2);  // text or binary
  node.children = align(cursor + valueBytes);
  return node;
}

std::vector<std::u16string> ChildKeys(const std::string& bytes, const VersionNode& parent) {
  std::vector<std::u16string> keys;
  for (std::size_t at = parent.children; at < parent.end;) {
    const VersionNode child = ReadVersionNode(bytes, at);
    keys.push_back(child.key);
    at = (child.end + 3) & ~std::size_t{3};
  }
  return keys;
}

TEST_F(DllResources, VersionRecordInChineseWithOneEnglishStringBlock) {
  const std::string bytes = Bytes(RT_VERSION, IDR_VERSION, kChineseSimplified);
  ASSERT_FALSE(bytes.empty());
  const VersionNode root = ReadVersionNode(bytes, 0);
  EXPECT_EQ(root.key, u"VS_VERSION_INFO");
  EXPECT_THAT(ChildKeys(bytes, root), ElementsAre(u"StringFileInfo", u"VarFileInfo"));
  EXPECT_THAT(ChildKeys(bytes, ReadVersionNode(bytes, root.children)), ElementsAre(u"040904e4"));

  // VerQueryValueW wants the record in writable memory, as GetFileVersionInfoW gives it.
  std::vector<char> record(bytes.begin(), bytes.end());
  record.resize(bytes.size() * 2);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
  ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  // The project's version, e.g. 1.3.0.1001: 0x00010003 and 0x000003E9.
  constexpr DWORD kVersionMs = MAKELONG(TORVO_VERSION_MINOR, TORVO_VERSION_MAJOR);
  constexpr DWORD kVersionLs = MAKELONG(TORVO_VERSION_BUILD, TORVO_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileVersionMS, kVersionMs);
  EXPECT_EQ(fixed->dwFileVersionLS, kVersionLs);
  EXPECT_EQ(fixed->dwProductVersionMS, kVersionMs);
  EXPECT_EQ(fixed->dwProductVersionLS, kVersionLs);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  WORD* translation = nullptr;
  ASSERT_TRUE(
      ::VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
  ASSERT_EQ(size, 4u);
  EXPECT_EQ(translation[0], kEnglishUnitedStates);
  EXPECT_EQ(translation[1], 1252);

  auto text = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904e4\\") + name;
    if (!::VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
      return std::wstring(L"<missing>");
    return std::wstring(value);
  };
  EXPECT_EQ(text(L"OriginalFilename"), L"" TORVO_DLL_FILE_NAME);
  EXPECT_EQ(text(L"FileVersion"), L"" TORVO_VERSION_TEXT);
  EXPECT_EQ(text(L"ProductVersion"), L"" TORVO_VERSION_TEXT);
  EXPECT_NE(text(L"CompanyName"), L"<missing>");
  EXPECT_NE(text(L"ProductName"), L"<missing>");
}

TEST_F(DllResources, ManifestAsksToRunAsTheInvokerWithoutUiAccess) {
  const std::string manifest = Bytes(MAKEINTRESOURCEW(24), IDR_MANIFEST, kEnglishUnitedStates);
  EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos)
      << manifest;
  EXPECT_EQ(manifest, SourceFile("resources/TorvoShellMenu.manifest"));
}

TEST_F(DllResources, RawDataIs128BytesOf0xCC) {
  const std::string raw = Bytes(RT_RCDATA, IDR_RAW_DATA, kEnglishUnitedStates);
  EXPECT_EQ(raw.size(), 128u);
  EXPECT_THAT(raw, Each('\xCC'));
}

TEST_F(DllResources, TypeLibraryIsTheGeneratedOne) {
  const std::string library = Bytes(L"TYPELIB", IDR_TYPELIB, kEnglishUnitedStates);
  EXPECT_EQ(library.substr(0, 4), "MSFT");
  EXPECT_EQ(library, HostFile(TORVO_TYPELIB_FILE));
}

}  // namespace
}  // namespace torvo
