// package_manager_stand_in.dll: Windows' PackageManager as the installer's test needs it under Wine,
// which has none. Registered in the test's prefix where Windows looks for runtime classes
// (HKLM\Software\Microsoft\WindowsRuntime\ActivatableClassId), it serves
// Windows.Management.Deployment.PackageManager, StagePackageOptions and AddPackageOptions, and
// Windows.Foundation.Uri, in the layouts torvo-package.exe calls (tools/package/package_manager_abi.h).
//
// Beside it, in its folder:
//   package-manager.log    one line a call: "stage <uri> external <uri>", "provision <family>",
//                          "deprovision <family>", "add <uri> external <uri>", "remove <full name>
//                          [for all users]", "find user <family>", "find all <family>"
//   package-manager.state  the packages it holds: "user <full name> <version>" (registered for the
//                          user), "provisioned <family>"; a package's version is that of the
//                          TorvoShellMenu.dll in its external location, as the release packs it
//   package-manager.fail   a call's first word: that call fails (0x80073CF9) once, and the file goes
#include <windows.h>
#include <activation.h>
#include <winstring.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tools/package/package_manager_abi.h"

namespace {

using namespace torvo::package;

constexpr HRESULT kInstallFailed = static_cast<HRESULT>(0x80073CF9);
constexpr IID kInspectable = {0xAF86E2E0, 0xB12D, 0x4C6A, {0x9C, 0x5A, 0xD7, 0xAA, 0x65, 0x10, 0x1E, 0x90}};
constexpr IID kActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kUriText = {0x6C3C8E57, 0x41C6, 0x4B5B, {0x9A, 0x0D, 0x3E, 0x27, 0xE8, 0x0B, 0x94, 0x11}};  // ours
HMODULE g_module = nullptr;

std::wstring Beside(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  const std::wstring dll(path, ::GetModuleFileNameW(g_module, path, MAX_PATH));
  return dll.substr(0, dll.find_last_of(L'\\') + 1) + name;
}

std::wstring Read(const wchar_t* name) {
  const HANDLE file =
      ::CreateFileW(Beside(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(65536, '\0');
  DWORD read = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  ::CloseHandle(file);
  bytes.resize(read);
  std::wstring text(bytes.size(), L'\0');
  text.resize(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                                             text.data(), static_cast<int>(text.size()))));
  return text;
}

void Write(const wchar_t* name, const std::wstring& text, bool append) {
  const HANDLE file = ::CreateFileW(Beside(name).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string bytes(text.size() * 3, '\0');
  bytes.resize(
      static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                     bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr)));
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// Logs the call; its result: the failure package-manager.fail asks for once, else success.
HRESULT Call(const std::wstring& call) {
  Write(L"package-manager.log", call + L"\n", true);
  const std::wstring fail = Read(L"package-manager.fail");
  if (!fail.empty() && call.rfind(fail.substr(0, fail.find_first_of(L"\r\n")) + L" ", 0) == 0) {
    ::DeleteFileW(Beside(L"package-manager.fail").c_str());
    return kInstallFailed;
  }
  return S_OK;
}

std::wstring Text(HSTRING text) {
  UINT32 length = 0;
  const wchar_t* buffer = ::WindowsGetStringRawBuffer(text, &length);
  return buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
}

HSTRING Hstring(const std::wstring& text) {
  HSTRING made = nullptr;
  ::WindowsCreateString(text.c_str(), static_cast<UINT32>(text.size()), &made);
  return made;
}

// IInspectable's part of every object here: a reference count and the interfaces it answers.
#define STAND_IN_INSPECTABLE(Primary, ...)                                                                 \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {                              \
    *out = nullptr;                                                                                        \
    if (iid == IID_IUnknown || iid == kInspectable) *out = static_cast<Primary*>(this);                    \
    __VA_ARGS__                                                                                            \
    if (*out == nullptr) return E_NOINTERFACE;                                                             \
    AddRef();                                                                                              \
    return S_OK;                                                                                           \
  }                                                                                                        \
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); } \
  ULONG STDMETHODCALLTYPE Release() override {                                                             \
    const LONG left = ::InterlockedDecrement(&refs_);                                                      \
    if (left == 0) delete this;                                                                            \
    return static_cast<ULONG>(left);                                                                       \
  }                                                                                                        \
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }                          \
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }                   \
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {                                    \
    *level = BaseTrust;                                                                                    \
    return S_OK;                                                                                           \
  }                                                                                                        \
  LONG refs_ = 1;

// A Uri: its text, which the manager reads through an interface of this stand-in's own.
struct Uri final : IInspectable {
  explicit Uri(std::wstring value) : text(std::move(value)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == kInspectable || iid == kUriText) *out = static_cast<IInspectable*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {
    *level = BaseTrust;
    return S_OK;
  }
  LONG refs_ = 1;
  std::wstring text;
};

std::wstring UriText(IInspectable* object) {
  IInspectable* uri = nullptr;
  if (object == nullptr || FAILED(object->QueryInterface(kUriText, reinterpret_cast<void**>(&uri)))) return L"?";
  const std::wstring text = static_cast<Uri*>(uri)->text;
  uri->Release();
  return text;
}

// "file:///C:/Program%20Files/ZebTorvo%20Vault/" as the path it names.
std::wstring PathOf(const std::wstring& uri) {
  std::wstring path;
  for (std::size_t i = 8; i < uri.size(); ++i) {
    if (uri[i] == L'%' && i + 2 < uri.size()) {
      path += static_cast<wchar_t>(std::wcstoul(uri.substr(i + 1, 2).c_str(), nullptr, 16));
      i += 2;
    } else {
      path += uri[i] == L'/' ? L'\\' : uri[i];
    }
  }
  return path;
}

// The version of the TorvoShellMenu.dll in the folder, "1.3.0.1001".
std::wstring DllVersion(const std::wstring& folder) {
  const std::wstring dll = folder + L"TorvoShellMenu.dll";
  DWORD handle = 0;
  std::vector<BYTE> record(::GetFileVersionInfoSizeW(dll.c_str(), &handle));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (record.empty() || !::GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) ||
      !::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&info), &size)) {
    return L"0.0.0.0";
  }
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

struct Options final : abi::IPackageOptions {
  STAND_IN_INSPECTABLE(abi::IPackageOptions,
                       if (iid == abi::kStagePackageOptions ||
                           iid == abi::kAddPackageOptions) * out = static_cast<abi::IPackageOptions*>(this);)
  HRESULT STDMETHODCALLTYPE get_ExternalLocationUri(IInspectable** uri) override {
    *uri = location;
    if (location != nullptr) location->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_ExternalLocationUri(IInspectable* uri) override {
    if (uri != nullptr) uri->AddRef();
    if (location != nullptr) location->Release();
    location = uri;
    return S_OK;
  }
  ~Options() {
    if (location != nullptr) location->Release();
  }
  IInspectable* location = nullptr;
};

// An operation that has ended, with its result.
struct Operation final : abi::IAsyncInfo {
  explicit Operation(HRESULT value) : result(value) {}
  STAND_IN_INSPECTABLE(abi::IAsyncInfo, if (iid == abi::kAsyncInfo) * out = static_cast<abi::IAsyncInfo*>(this);)
  HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
    *id = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Status(abi::AsyncStatus* status) override {
    *status = SUCCEEDED(result) ? abi::AsyncStatus::kCompleted : abi::AsyncStatus::kError;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
    *code = result;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Cancel() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }
  HRESULT result;
};

HRESULT Ended(HRESULT result, IInspectable** operation) {
  *operation = static_cast<IInspectable*>(new Operation(result));
  return S_OK;
}

struct PackageId final : abi::IPackageId {
  PackageId(std::wstring name, std::wstring number) : fullName(std::move(name)), version(std::move(number)) {}
  STAND_IN_INSPECTABLE(abi::IPackageId, if (iid == abi::kPackageId) * out = static_cast<abi::IPackageId*>(this);)
  HRESULT STDMETHODCALLTYPE get_Name(HSTRING* name) override {
    *name = Hstring(fullName.substr(0, fullName.find(L'_')));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Version(abi::PackageVersion* value) override {
    unsigned parts[4] = {};
    ::swscanf(version.c_str(), L"%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
    *value = {static_cast<UINT16>(parts[0]), static_cast<UINT16>(parts[1]), static_cast<UINT16>(parts[2]),
              static_cast<UINT16>(parts[3])};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_FullName(HSTRING* name) override {
    *name = Hstring(fullName);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_FamilyName(HSTRING* name) override {
    *name = Hstring(fullName.substr(0, fullName.find(L'_')) + fullName.substr(fullName.rfind(L'_')));
    return S_OK;
  }
  std::wstring fullName, version;
};

struct Package final : abi::IPackage {
  explicit Package(PackageId* packageId) : id(packageId) {}
  ~Package() { id->Release(); }
  STAND_IN_INSPECTABLE(abi::IPackage, if (iid == abi::kPackage) * out = static_cast<abi::IPackage*>(this);)
  HRESULT STDMETHODCALLTYPE get_Id(abi::IPackageId** value) override {
    id->AddRef();
    *value = id;
    return S_OK;
  }
  PackageId* id;
};

struct Iterator final : abi::IIterator {
  explicit Iterator(std::vector<std::wstring> found) : lines(std::move(found)) {}
  STAND_IN_INSPECTABLE(abi::IIterator)
  HRESULT STDMETHODCALLTYPE get_Current(IInspectable** current) override {
    if (at >= lines.size()) return static_cast<HRESULT>(0x8000000B);  // E_BOUNDS
    const std::wstring& line = lines[at];                             // "user <full name> <version>"
    const std::size_t name = line.find(L' ') + 1, version = line.rfind(L' ');
    *current = static_cast<abi::IPackage*>(
        new Package(new PackageId(line.substr(name, version - name), line.substr(version + 1))));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_HasCurrent(boolean* has) override {
    *has = at < lines.size();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MoveNext(boolean* has) override {
    ++at;
    return get_HasCurrent(has);
  }
  std::vector<std::wstring> lines;
  std::size_t at = 0;
};

struct Iterable final : abi::IIterable {
  explicit Iterable(std::vector<std::wstring> found) : lines(std::move(found)) {}
  STAND_IN_INSPECTABLE(abi::IIterable)
  HRESULT STDMETHODCALLTYPE First(abi::IIterator** first) override {
    *first = new Iterator(lines);
    return S_OK;
  }
  std::vector<std::wstring> lines;
};

// The state's lines that begin with `prefix`; the state without them.
std::vector<std::wstring> StateLines(const std::wstring& prefix, std::wstring* rest = nullptr) {
  std::vector<std::wstring> found;
  for (const std::wstring& line : Lines(Read(L"package-manager.state"))) {
    if (line.rfind(prefix, 0) == 0) {
      found.push_back(line);
    } else if (rest != nullptr) {
      *rest += line + L"\n";
    }
  }
  return found;
}

struct Manager final : abi::IPackageManager,
                       abi::IPackageManager2,
                       abi::IPackageManager6,
                       abi::IPackageManager8,
                       abi::IPackageManager9 {
  STAND_IN_INSPECTABLE(abi::IPackageManager,
                       if (iid == abi::kPackageManager) * out = static_cast<abi::IPackageManager*>(this);
                       if (iid == abi::kPackageManager2) * out = static_cast<abi::IPackageManager2*>(this);
                       if (iid == abi::kPackageManager6) * out = static_cast<abi::IPackageManager6*>(this);
                       if (iid == abi::kPackageManager8) * out = static_cast<abi::IPackageManager8*>(this);
                       if (iid == abi::kPackageManager9) * out = static_cast<abi::IPackageManager9*>(this);)

  HRESULT STDMETHODCALLTYPE StagePackageByUriAsync(IInspectable* uri, IInspectable* options,
                                                   IInspectable** operation) override {
    return Ended(Call(L"stage " + UriText(uri) + L" external " + External(options)), operation);
  }
  HRESULT STDMETHODCALLTYPE AddPackageByUriAsync(IInspectable* uri, IInspectable* options,
                                                 IInspectable** operation) override {
    const std::wstring folder = External(options);
    const HRESULT result = Call(L"add " + UriText(uri) + L" external " + folder);
    if (SUCCEEDED(result)) {
      const std::wstring version = DllVersion(PathOf(folder));
      Write(L"package-manager.state", L"user ZebTorvo.TorvoShellMenu_" + version + L"_x64__stand-in " + version + L"\n",
            true);
    }
    return Ended(result, operation);
  }
  HRESULT STDMETHODCALLTYPE ProvisionPackageForAllUsersAsync(HSTRING family, IInspectable** operation) override {
    const HRESULT result = Call(L"provision " + Text(family));
    if (SUCCEEDED(result)) Write(L"package-manager.state", L"provisioned " + Text(family) + L"\n", true);
    return Ended(result, operation);
  }
  HRESULT STDMETHODCALLTYPE DeprovisionPackageForAllUsersAsync(HSTRING family, IInspectable** operation) override {
    std::wstring rest;
    const bool provisioned = !StateLines(L"provisioned ", &rest).empty();
    const HRESULT result = Call(L"deprovision " + Text(family));
    if (SUCCEEDED(result)) Write(L"package-manager.state", rest, false);
    return Ended(SUCCEEDED(result) && !provisioned ? static_cast<HRESULT>(0x80073CF1) : result, operation);
  }
  HRESULT STDMETHODCALLTYPE RemovePackageAsync(HSTRING fullName, IInspectable** operation) override {
    return Ended(Remove(Text(fullName), L""), operation);
  }
  HRESULT STDMETHODCALLTYPE RemovePackageWithOptionsAsync(HSTRING fullName, UINT32 options,
                                                          IInspectable** operation) override {
    return Ended(Remove(Text(fullName), options == abi::kRemoveForAllUsers ? L" for all users" : L" with options"),
                 operation);
  }
  HRESULT STDMETHODCALLTYPE FindPackagesByPackageFamilyName(HSTRING family, abi::IIterable** packages) override {
    Call(L"find all " + Text(family));
    *packages = new Iterable(StateLines(L"user "));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindPackagesByUserSecurityIdPackageFamilyName(HSTRING user, HSTRING family,
                                                                          abi::IIterable** packages) override {
    Call(L"find user" + Text(user) + L" " + Text(family));
    *packages = new Iterable(StateLines(L"user "));
    return S_OK;
  }

  static std::wstring External(IInspectable* options) {
    abi::IPackageOptions* typed = nullptr;
    if (options == nullptr ||
        FAILED(options->QueryInterface(abi::kStagePackageOptions, reinterpret_cast<void**>(&typed)))) {
      return L"(no options)";
    }
    IInspectable* location = nullptr;
    typed->get_ExternalLocationUri(&location);
    typed->Release();
    const std::wstring text = location != nullptr ? UriText(location) : L"(none)";
    if (location != nullptr) location->Release();
    return text;
  }
  static HRESULT Remove(const std::wstring& fullName, const wchar_t* how) {
    const HRESULT result = Call(L"remove " + fullName + how);
    if (FAILED(result)) return result;
    std::wstring rest;
    const bool there = !StateLines(L"user " + fullName + L" ", &rest).empty();
    Write(L"package-manager.state", rest, false);
    return there ? S_OK : static_cast<HRESULT>(0x80073CF1);
  }
};

// The factory of one class: activation, and for Uri the creation from a text.
struct Factory final : IActivationFactory, abi::IUriRuntimeClassFactory {
  explicit Factory(std::wstring name) : className(std::move(name)) {}
  STAND_IN_INSPECTABLE(IActivationFactory,
                       if (iid == kActivationFactory) * out = static_cast<IActivationFactory*>(this);
                       if (iid == abi::kUriFactory) * out = static_cast<abi::IUriRuntimeClassFactory*>(this);)
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    if (className == L"Windows.Management.Deployment.PackageManager") {
      *instance = static_cast<abi::IPackageManager*>(new Manager);
    } else if (className.find(L"PackageOptions") != std::wstring::npos) {
      *instance = static_cast<abi::IPackageOptions*>(new Options);
    } else {
      return E_NOTIMPL;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateUri(HSTRING uri, IInspectable** instance) override {
    *instance = new Uri(Text(uri));
    return S_OK;
  }
  std::wstring className;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetActivationFactory(HSTRING className, IActivationFactory** out) {
  *out = static_cast<IActivationFactory*>(new Factory(Text(className)));
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
