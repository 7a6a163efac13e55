#pragma once
// Windows' PackageManager (Windows.Management.Deployment), reached through combase's Windows Runtime
// functions from System32: the package step's calls, each operation waited for within a bound.
#include <windows.h>

#include <string_view>

#include "tools/package/package_manager_abi.h"
#include "tools/package/package_steps.h"

namespace torvo::package {

class Win32PackageDeployment : public PackageDeployment {
 public:
  // `waitMs`: how long one operation may take before it counts as failed (HRESULT of ERROR_TIMEOUT).
  explicit Win32PackageDeployment(DWORD waitMs);
  Win32PackageDeployment(const Win32PackageDeployment&) = delete;
  Win32PackageDeployment& operator=(const Win32PackageDeployment&) = delete;
  ~Win32PackageDeployment() override;

  HResult Stage(const std::u16string& packageFile, const std::u16string& externalFolder) override;
  HResult ProvisionForAllUsers(const std::u16string& family) override;
  HResult DeprovisionForAllUsers(const std::u16string& family) override;
  HResult AddForUser(const std::u16string& packageFile, const std::u16string& externalFolder) override;
  HResult Packages(const std::u16string& family, bool allUsers, std::vector<FamilyPackage>& packages) override;
  HResult Remove(const std::u16string& fullName, bool allUsers) override;

 private:
  using ByUriCall = HRESULT (STDMETHODCALLTYPE abi::IPackageManager9::*)(IInspectable*, IInspectable*, IInspectable**);
  HResult ByUri(ByUriCall call, std::wstring_view optionsClass, REFIID optionsIid, const std::u16string& packageFile,
                const std::u16string& externalFolder);

  struct Runtime;
  Runtime* runtime_;  // combase's functions and the PackageManager, or what was missing
  DWORD waitMs_;
};

}  // namespace torvo::package
