// Whether the product's installer package installed it, asked of Windows Installer by the package's
// upgrade code, which every version of the package shares.
#include <optional>
#include <string>

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

std::optional<Installation> FindInstallation() {
  const WindowsInstaller msi;
  const auto related = msi.Find<decltype(::MsiEnumRelatedProductsW)>("MsiEnumRelatedProductsW");
  const auto productInfo = msi.Find<ProductInfoFunction>("MsiGetProductInfoW");
  wchar_t product[39] = {};
  if (related == nullptr || productInfo == nullptr || related(kUpgradeCode, 0, 0, product) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Installation installation{product, ProductInfo(productInfo, product, INSTALLPROPERTY_VERSIONSTRING),
                            ProductInfo(productInfo, product, INSTALLPROPERTY_INSTALLLOCATION)};
  if (installation.folder.empty()) {
    installation.folder = RegistryReader().Text(kHkeyLocalMachine, kPackageKey, L"InstallFolder").value_or(L"");
  }
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
}

}  // namespace torvo::doctor
