#include "platform/win32/packaged_command.h"

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "platform/win32/unique_handle.h"

namespace torvo::win32 {

namespace {

constexpr DWORD kWindows11Build = 22000;
constexpr wchar_t kPackageName[] = L"ZebTorvo.TorvoShellMenu";
// The publisher of the release's unsigned package (scripts/release.sh).
constexpr wchar_t kUnsignedPublisher[] = L"CN=ZebTorvo, OID.2.25.311729368913984317654407730594956997722=1";

// appmodel.h's PACKAGE_ID (Windows 8 and later), of which the family needs the name and publisher.
struct PackageId {
  UINT32 reserved = 0;
  UINT32 processorArchitecture = 0;
  UINT64 version = 0;
  PCWSTR name = nullptr;
  PCWSTR publisher = nullptr;
  PCWSTR resourceId = nullptr;
  PCWSTR publisherId = nullptr;
};

// The function `name` of a module, typed as the declaration `Function` (decltype(::Name)).
template <class Function>
Function* Export(HMODULE module, const char* name) {
  return module == nullptr ? nullptr
                           : reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool OnWindows11() {
  using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto getVersion =
      reinterpret_cast<GetVersionFn>(Export<void>(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"));
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  return getVersion != nullptr && getVersion(&version) == 0 && version.dwBuildNumber >= kWindows11Build;
}

bool InExplorer() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring file(path, length);
  return ::lstrcmpiW(file.substr(file.find_last_of(L'\\') + 1).c_str(), L"explorer.exe") == 0;
}

}  // namespace

std::wstring SignerPublisher(HMODULE module) {
  // crypt32.dll, from System32, only for this one question of the process: no menu loads it.
  const UniqueLibrary crypt32(::LoadLibraryExW(L"crypt32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  const auto query = Export<decltype(::CryptQueryObject)>(crypt32.Get(), "CryptQueryObject");
  const auto parameter = Export<decltype(::CryptMsgGetParam)>(crypt32.Get(), "CryptMsgGetParam");
  const auto closeMessage = Export<decltype(::CryptMsgClose)>(crypt32.Get(), "CryptMsgClose");
  const auto find = Export<decltype(::CertFindCertificateInStore)>(crypt32.Get(), "CertFindCertificateInStore");
  const auto nameText = Export<decltype(::CertNameToStrW)>(crypt32.Get(), "CertNameToStrW");
  const auto freeCertificate =
      Export<decltype(::CertFreeCertificateContext)>(crypt32.Get(), "CertFreeCertificateContext");
  const auto closeStore = Export<decltype(::CertCloseStore)>(crypt32.Get(), "CertCloseStore");
  if (!query || !parameter || !closeMessage || !find || !nameText || !freeCertificate || !closeStore) {
    return kUnsignedPublisher;
  }
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(module, path, MAX_PATH);
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (!query(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED, CERT_QUERY_FORMAT_FLAG_BINARY, 0,
             nullptr, nullptr, nullptr, &store, &message, nullptr)) {
    return kUnsignedPublisher;
  }
  std::wstring publisher = kUnsignedPublisher;
  DWORD size = 0;
  parameter(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size);
  std::string signerBytes(size, '\0');
  if (size != 0 && parameter(message, CMSG_SIGNER_INFO_PARAM, 0, signerBytes.data(), &size)) {
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signerBytes.data());
    CERT_INFO wanted{};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    const PCCERT_CONTEXT certificate =
        find(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
    if (certificate != nullptr) {
      wchar_t subject[1024] = {};
      const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
      if (nameText(X509_ASN_ENCODING, &certificate->pCertInfo->Subject, flags, subject, 1024) > 1) publisher = subject;
      freeCertificate(certificate);
    }
  }
  closeMessage(message);
  closeStore(store, 0);
  return publisher;
}

namespace {

// The publisher of the package whose command replaces this DLL's item: its own signer's.
std::wstring Publisher() {
  HMODULE self = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&Publisher), &self);
  return SignerPublisher(self);
}

bool PackageRegistered() {
  using FamilyFn = LONG(WINAPI*)(const PackageId*, UINT32*, PWSTR);
  using PackagesFn = LONG(WINAPI*)(PCWSTR, UINT32*, PWSTR*, UINT32*, WCHAR*);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const auto familyFromId = reinterpret_cast<FamilyFn>(Export<void>(kernel32, "PackageFamilyNameFromId"));
  const auto packages = reinterpret_cast<PackagesFn>(Export<void>(kernel32, "GetPackagesByPackageFamily"));
  if (familyFromId == nullptr || packages == nullptr) return false;
  const std::wstring publisher = Publisher();
  PackageId id;
  id.name = kPackageName;
  id.publisher = publisher.c_str();
  wchar_t family[128] = {};
  UINT32 length = 128;
  if (familyFromId(&id, &length, family) != ERROR_SUCCESS) return false;
  UINT32 count = 0, bufferLength = 0;
  const LONG asked = packages(family, &count, nullptr, &bufferLength, nullptr);
  return (asked == ERROR_SUCCESS || asked == ERROR_INSUFFICIENT_BUFFER) && count > 0;
}

}  // namespace

bool PackagedCommandOnExplorersMenu() { return OnWindows11() && InExplorer() && PackageRegistered(); }

}  // namespace torvo::win32
