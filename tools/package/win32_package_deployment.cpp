#include "tools/package/win32_package_deployment.h"

#include <roapi.h>

#include <string>

#include "platform/win32/com_ptr.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "tools/package/package_manager_abi.h"

namespace torvo::package {

using win32::ComPtr;

namespace {

constexpr HResult kTimedOut = MakeStatus(0x800705B4);  // HRESULT_FROM_WIN32(ERROR_TIMEOUT)

std::wstring Wide(const std::u16string& text) { return std::wstring(win32::AsWide(text.c_str()), text.size()); }
std::u16string Utf16(const std::wstring& text) { return std::u16string(win32::AsUtf16(text.c_str()), text.size()); }

// The Windows Runtime functions of combase.dll, taken from System32 at run time (Windows 8 and later).
struct RuntimeCalls {
  decltype(&::RoInitialize) initialize = nullptr;
  decltype(&::RoUninitialize) uninitialize = nullptr;
  decltype(&::RoActivateInstance) activate = nullptr;
  decltype(&::RoGetActivationFactory) factory = nullptr;
  HRESULT(WINAPI* createString)(LPCWSTR, UINT32, HSTRING*) = nullptr;
  HRESULT(WINAPI* deleteString)(HSTRING) = nullptr;
  LPCWSTR(WINAPI* rawBuffer)(HSTRING, UINT32*) = nullptr;
};

template <class Function>
void Take(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// An HSTRING owned for its scope.
class Text {
 public:
  Text(const RuntimeCalls& calls, std::wstring_view text) : calls_(calls) {
    if (FAILED(calls.createString(text.data(), static_cast<UINT32>(text.size()), &text_))) text_ = nullptr;
  }
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() {
    if (text_ != nullptr) calls_.deleteString(text_);
  }
  HSTRING Get() const { return text_; }

 private:
  const RuntimeCalls& calls_;
  HSTRING text_ = nullptr;
};

// A "file:///" Uri for a path: each byte of its UTF-8 that is not unreserved written as %XX.
std::wstring FileUri(const std::wstring& path) {
  std::string utf8;
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(size));
  ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), static_cast<int>(path.size()), utf8.data(), size, nullptr, nullptr);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::wstring uri = L"file:///";
  for (const char byte : utf8) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == '\\') {
      uri += L'/';
    } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               std::wstring_view(L"-._~:/").find(static_cast<wchar_t>(c)) != std::wstring_view::npos) {
      uri += static_cast<wchar_t>(c);
    } else {
      uri += L'%';
      uri += static_cast<wchar_t>(kHex[c >> 4]);
      uri += static_cast<wchar_t>(kHex[c & 15]);
    }
  }
  return uri;
}

}  // namespace

struct Win32PackageDeployment::Runtime {
  win32::UniqueLibrary combase;
  RuntimeCalls calls;
  bool initialised = false;
  HResult missing = kOk;  // why the PackageManager cannot be asked
  ComPtr<abi::IPackageManager> manager;

  std::wstring String(HSTRING text) const {
    UINT32 length = 0;
    const wchar_t* buffer = calls.rawBuffer(text, &length);
    return buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
  }

  // An object of a runtime class, as the interface `iid`.
  HResult Activate(std::wstring_view className, REFIID iid, void** out) const {
    const Text name(calls, className);
    ComPtr<IInspectable> object;
    TORVO_RETURN_IF_FAILED(calls.activate(name.Get(), object.Put()));
    return object->QueryInterface(iid, out);
  }

  HResult Uri(const std::wstring& path, ComPtr<IInspectable>& uri) const {
    const Text name(calls, L"Windows.Foundation.Uri");
    ComPtr<abi::IUriRuntimeClassFactory> factory;
    TORVO_RETURN_IF_FAILED(calls.factory(name.Get(), abi::kUriFactory, factory.PutVoid()));
    const Text text(calls, FileUri(path));
    return factory->CreateUri(text.Get(), uri.Put());
  }

  // The options of an add or a stage (`className`, `iid`) with the folder as the external location.
  HResult Options(std::wstring_view className, REFIID iid, const std::wstring& folder,
                  ComPtr<abi::IPackageOptions>& options) const {
    ComPtr<IInspectable> location;
    TORVO_RETURN_IF_FAILED(Uri(folder, location));
    TORVO_RETURN_IF_FAILED(Activate(className, iid, options.PutVoid()));
    return options->put_ExternalLocationUri(location.Get());
  }

  template <class Interface>
  HResult Manager(REFIID iid, ComPtr<Interface>& out) const {
    if (!manager) return missing;
    return manager->QueryInterface(iid, out.PutVoid());
  }
};

Win32PackageDeployment::Win32PackageDeployment(DWORD waitMs) : runtime_(new Runtime), waitMs_(waitMs) {
  Runtime& r = *runtime_;
  r.combase.Reset(::LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const HMODULE combase = r.combase.Get();
  Take(combase, "RoInitialize", r.calls.initialize);
  Take(combase, "RoUninitialize", r.calls.uninitialize);
  Take(combase, "RoActivateInstance", r.calls.activate);
  Take(combase, "RoGetActivationFactory", r.calls.factory);
  Take(combase, "WindowsCreateString", r.calls.createString);
  Take(combase, "WindowsDeleteString", r.calls.deleteString);
  Take(combase, "WindowsGetStringRawBuffer", r.calls.rawBuffer);
  const RuntimeCalls& c = r.calls;
  if (!c.initialize || !c.uninitialize || !c.activate || !c.factory || !c.createString || !c.deleteString ||
      !c.rawBuffer) {
    r.missing = HresultFromWin32(ERROR_PROC_NOT_FOUND);
    return;
  }
  // The operations complete on the runtime's own threads; this thread only asks for their status.
  r.initialised = SUCCEEDED(c.initialize(RO_INIT_MULTITHREADED));
  r.missing = r.Activate(L"Windows.Management.Deployment.PackageManager", abi::kPackageManager, r.manager.PutVoid());
}

Win32PackageDeployment::~Win32PackageDeployment() {
  const bool initialised = runtime_->initialised;
  const auto uninitialize = runtime_->calls.uninitialize;
  runtime_->manager.Reset();
  if (initialised) uninitialize();
  delete runtime_;
}

namespace {

// Waits for an operation (polling its IAsyncInfo) at most `waitMs`: its result.
HResult Await(HResult started, const ComPtr<IInspectable>& operation, DWORD waitMs) {
  TORVO_RETURN_IF_FAILED(started);
  ComPtr<abi::IAsyncInfo> info;
  TORVO_RETURN_IF_FAILED(operation->QueryInterface(abi::kAsyncInfo, info.PutVoid()));
  abi::AsyncStatus status = abi::AsyncStatus::kStarted;
  const ULONGLONG end = ::GetTickCount64() + waitMs;
  while (SUCCEEDED(info->get_Status(&status)) && status == abi::AsyncStatus::kStarted) {
    if (::GetTickCount64() > end) {
      info->Cancel();
      return kTimedOut;
    }
    ::Sleep(50);
  }
  if (status == abi::AsyncStatus::kCompleted) return kOk;
  HRESULT code = E_FAIL;
  info->get_ErrorCode(&code);
  return FAILED(code) ? code : E_FAIL;
}

}  // namespace

// Stages or adds (`call`) the package file with the folder as its external location, the options of
// the runtime class `optionsClass`.
HResult Win32PackageDeployment::ByUri(ByUriCall call, std::wstring_view optionsClass, REFIID optionsIid,
                                      const std::u16string& packageFile, const std::u16string& externalFolder) {
  const Runtime& r = *runtime_;
  ComPtr<abi::IPackageManager9> manager;
  TORVO_RETURN_IF_FAILED(r.Manager(abi::kPackageManager9, manager));
  ComPtr<IInspectable> uri;
  ComPtr<abi::IPackageOptions> options;
  TORVO_RETURN_IF_FAILED(r.Uri(Wide(packageFile), uri));
  TORVO_RETURN_IF_FAILED(r.Options(optionsClass, optionsIid, Wide(externalFolder), options));
  ComPtr<IInspectable> operation;
  const HResult started = (manager.Get()->*call)(uri.Get(), options.Get(), operation.Put());
  return Await(started, operation, waitMs_);
}

HResult Win32PackageDeployment::Stage(const std::u16string& packageFile, const std::u16string& externalFolder) {
  return ByUri(&abi::IPackageManager9::StagePackageByUriAsync, L"Windows.Management.Deployment.StagePackageOptions",
               abi::kStagePackageOptions, packageFile, externalFolder);
}

HResult Win32PackageDeployment::AddForUser(const std::u16string& packageFile, const std::u16string& externalFolder) {
  return ByUri(&abi::IPackageManager9::AddPackageByUriAsync, L"Windows.Management.Deployment.AddPackageOptions",
               abi::kAddPackageOptions, packageFile, externalFolder);
}

HResult Win32PackageDeployment::ProvisionForAllUsers(const std::u16string& family) {
  const Runtime& r = *runtime_;
  ComPtr<abi::IPackageManager6> manager;
  TORVO_RETURN_IF_FAILED(r.Manager(abi::kPackageManager6, manager));
  const Text name(r.calls, Wide(family));
  ComPtr<IInspectable> operation;
  return Await(manager->ProvisionPackageForAllUsersAsync(name.Get(), operation.Put()), operation, waitMs_);
}

HResult Win32PackageDeployment::DeprovisionForAllUsers(const std::u16string& family) {
  const Runtime& r = *runtime_;
  ComPtr<abi::IPackageManager8> manager;
  TORVO_RETURN_IF_FAILED(r.Manager(abi::kPackageManager8, manager));
  const Text name(r.calls, Wide(family));
  ComPtr<IInspectable> operation;
  return Await(manager->DeprovisionPackageForAllUsersAsync(name.Get(), operation.Put()), operation, waitMs_);
}

HResult Win32PackageDeployment::Remove(const std::u16string& fullName, bool allUsers) {
  const Runtime& r = *runtime_;
  const Text name(r.calls, Wide(fullName));
  ComPtr<IInspectable> operation;
  if (allUsers) {
    ComPtr<abi::IPackageManager2> manager;
    TORVO_RETURN_IF_FAILED(r.Manager(abi::kPackageManager2, manager));
    return Await(manager->RemovePackageWithOptionsAsync(name.Get(), abi::kRemoveForAllUsers, operation.Put()),
                 operation, waitMs_);
  }
  if (!r.manager) return r.missing;
  return Await(r.manager->RemovePackageAsync(name.Get(), operation.Put()), operation, waitMs_);
}

HResult Win32PackageDeployment::Packages(const std::u16string& family, bool allUsers,
                                         std::vector<FamilyPackage>& packages) {
  const Runtime& r = *runtime_;
  if (!r.manager) return r.missing;
  const Text name(r.calls, Wide(family));
  const Text thisUser(r.calls, L"");
  ComPtr<abi::IIterable> found;
  TORVO_RETURN_IF_FAILED(
      allUsers ? r.manager->FindPackagesByPackageFamilyName(name.Get(), found.Put())
               : r.manager->FindPackagesByUserSecurityIdPackageFamilyName(thisUser.Get(), name.Get(), found.Put()));
  if (!found) return kOk;
  ComPtr<abi::IIterator> at;
  TORVO_RETURN_IF_FAILED(found->First(at.Put()));
  boolean more = false;
  TORVO_RETURN_IF_FAILED(at->get_HasCurrent(&more));
  for (; more; at->MoveNext(&more)) {
    ComPtr<IInspectable> item;
    ComPtr<abi::IPackage> package;
    ComPtr<abi::IPackageId> id;
    TORVO_RETURN_IF_FAILED(at->get_Current(item.Put()));
    TORVO_RETURN_IF_FAILED(item->QueryInterface(abi::kPackage, package.PutVoid()));
    TORVO_RETURN_IF_FAILED(package->get_Id(id.Put()));
    HSTRING fullName = nullptr;
    abi::PackageVersion version{};
    TORVO_RETURN_IF_FAILED(id->get_FullName(&fullName));
    const std::wstring full = r.String(fullName);
    r.calls.deleteString(fullName);
    TORVO_RETURN_IF_FAILED(id->get_Version(&version));
    const std::wstring text = std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) + L"." +
                              std::to_wstring(version.build) + L"." + std::to_wstring(version.revision);
    packages.push_back({Utf16(full), Utf16(text)});
  }
  return kOk;
}

}  // namespace torvo::package
