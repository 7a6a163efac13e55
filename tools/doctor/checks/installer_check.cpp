// Whether the product's installer package installed it, asked of Windows Installer by the package's
// upgrade code, which every version of the package shares.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tools/doctor/checks/check.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/reads/windows_installer.h"

namespace torvo::doctor {

namespace {

// The UpgradeCode of packaging/msi/TorvoShellMenu.wxs.
constexpr wchar_t kUpgradeCode[] = L"{4A6C01CC-20B8-4621-B275-61AAACA27A29}";
// Where the package records its folder, in the 64-bit view.
constexpr wchar_t kPackageKey[] = L"Software\\ZebTorvo\\TorvoShellMenu";

using ProductInfoFunction = decltype(::MsiGetProductInfoW);

// A property of the installed product; empty when it has none.
std::wstring ProductInfo(ProductInfoFunction* productInfo, const wchar_t* product, const wchar_t* property) {
  DWORD units = 0;
  if (productInfo(product, property, nullptr, &units) != ERROR_SUCCESS) return {};
  std::wstring text(++units, L'\0');
  if (productInfo(product, property, text.data(), &units) != ERROR_SUCCESS) return {};
  text.resize(units);
  return text;
}

// The folders of the product's source list, its last used source first ("n;1;C:\\dir\\" names it
// after its second semicolon); each ends with a backslash.
std::vector<std::wstring> Sources(const WindowsInstaller& msi, ProductInfoFunction* productInfo,
                                  const wchar_t* product) {
  std::vector<std::wstring> sources;
  const auto add = [&sources](std::wstring folder) {
    if (folder.empty()) return;
    if (folder.back() != L'\\') folder += L'\\';
    for (const std::wstring& known : sources) {
      if (_wcsicmp(known.c_str(), folder.c_str()) == 0) return;
    }
    sources.push_back(folder);
  };
  const std::wstring last = ProductInfo(productInfo, product, INSTALLPROPERTY_LASTUSEDSOURCE);
  const std::size_t first = last.find(L';'), second = first == std::wstring::npos ? first : last.find(L';', first + 1);
  if (second != std::wstring::npos) add(last.substr(second + 1));
  const auto enumerate = msi.Find<decltype(::MsiSourceListEnumSourcesW)>("MsiSourceListEnumSourcesW");
  for (DWORD index = 0; enumerate != nullptr; ++index) {
    wchar_t folder[MAX_PATH] = {};
    DWORD units = MAX_PATH;
    if (enumerate(product, nullptr, MSIINSTALLCONTEXT_MACHINE,
                  static_cast<DWORD>(MSICODE_PRODUCT) | static_cast<DWORD>(MSISOURCETYPE_NETWORK), index, folder,
                  &units) != ERROR_SUCCESS) {
      break;
    }
    add(folder);
  }
  return sources;
}

std::optional<Installation> FindInstallation() {
  const WindowsInstaller msi;
  const auto related = msi.Find<decltype(::MsiEnumRelatedProductsW)>("MsiEnumRelatedProductsW");
  const auto productInfo = msi.Find<ProductInfoFunction>("MsiGetProductInfoW");
  wchar_t product[39] = {};
  if (related == nullptr || productInfo == nullptr || related(kUpgradeCode, 0, 0, product) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Installation installation;
  installation.productCode = product;
  installation.version = ProductInfo(productInfo, product, INSTALLPROPERTY_VERSIONSTRING);
  installation.folder = ProductInfo(productInfo, product, INSTALLPROPERTY_INSTALLLOCATION);
  if (installation.folder.empty()) {
    installation.folder = RegistryReader().Text(kHkeyLocalMachine, kPackageKey, L"InstallFolder").value_or(L"");
  }
  installation.packageName = ProductInfo(productInfo, product, INSTALLPROPERTY_PACKAGENAME);
  installation.sources = Sources(msi, productInfo, product);
  installation.sourceReachable =
      installation.packageName.empty() ||  // nothing to look for: Windows Installer answers for itself
      std::any_of(installation.sources.begin(), installation.sources.end(), [&](const std::wstring& folder) {
        return ::GetFileAttributesW((folder + installation.packageName).c_str()) != INVALID_FILE_ATTRIBUTES;
      });
  return installation;
}

}  // namespace

void CheckInstaller(DoctorContext& context, const NamedPaths&, Report& report) {
  context.installer = FindInstallation();
  if (!context.installer) {
    report.Note(L"installer", L"the product is not installed by its installer package: fixes register with regsvr32");
    return;
  }
  const Installation& installed = *context.installer;
  report.Ok(L"installer", L"TorvoShellMenu " + installed.version + L", product code " + installed.productCode +
                              L", folder " + installed.folder +
                              L"; fixes that register again are its repair, msiexec /fam " + installed.productCode);
  if (!installed.sourceReachable) {
    report.Note(L"installer", L"its package " + installed.packageName + L" is in none of its sources (" +
                                  (installed.sources.empty() ? L"none recorded" : installed.sources.front()) +
                                  L"): its repair needs a copy of that package, pointed to by msiexec /fam");
  }
}

}  // namespace torvo::doctor
