#include "tools/doctor/reads/object_security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/unique_handle.h"

namespace torvo::doctor {

namespace {

struct LocalMemoryTraits {  // what the security functions allocate with LocalAlloc
  using Handle = HLOCAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::LocalFree(h); }
};
using UniqueLocal = win32::UniqueOwner<LocalMemoryTraits>;

std::optional<std::string> SidText(PSID sid) {
  char* text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidA(sid, &text)) return std::nullopt;
  const UniqueLocal owned(text);
  return std::string(text);
}

bool Denies(BYTE type) {
  return type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
         type == ACCESS_DENIED_CALLBACK_ACE_TYPE || type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// Every kind of entry begins with its header and its rights; the plain and the callback allowing
// entries then name their account, the others' account is not read and counts as another's.
AccessEntry ReadEntry(const ACE_HEADER& header) {
  const auto& allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE&>(header);
  AccessEntry entry{!Denies(header.AceType), {}, header.AceFlags, allowed.Mask};
  if (header.AceType == ACCESS_ALLOWED_ACE_TYPE || header.AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
    entry.sid = SidText(const_cast<DWORD*>(&allowed.SidStart)).value_or("");
  return entry;
}

}  // namespace

std::optional<ObjectSecurity> SecurityOf(PSECURITY_DESCRIPTOR descriptor) {
  PSID owner = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  PACL list = nullptr;
  if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !::GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted))
    return std::nullopt;
  const std::optional<std::string> ownerText = SidText(owner);
  if (!ownerText) return std::nullopt;
  ObjectSecurity security{*ownerText, present && list != nullptr, {}};
  for (DWORD i = 0; security.hasAccessList && i < list->AceCount; ++i) {
    void* header = nullptr;
    if (!::GetAce(list, i, &header)) return std::nullopt;
    security.entries.push_back(ReadEntry(*static_cast<const ACE_HEADER*>(header)));
  }
  return security;
}

std::optional<ObjectSecurity> ReadObjectSecurity(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return std::nullopt;
  const UniqueLocal owned(descriptor);
  return SecurityOf(descriptor);
}

std::optional<std::wstring> OtherWriterOf(const std::wstring& dll) {
  const std::size_t separator = dll.find_last_of(L'\\');
  if (separator == std::wstring::npos) return L"the folder of " + dll + L" is not known";
  // The folder by its own name (C:\Users\ann\Downloads); a drive's root keeps its separator (C:\).
  const std::wstring folder = dll.substr(0, separator == 2 && dll[1] == L':' ? 3 : separator);
  for (const std::wstring& path : {folder, dll}) {
    const std::optional<ObjectSecurity> security = ReadObjectSecurity(path);
    if (!security) return L"the owner and access list of " + path + L" cannot be read";
    const std::optional<std::string> writer = OtherWriter(*security);
    if (writer) return std::wstring(writer->begin(), writer->end()) + L" may write " + path;
  }
  return std::nullopt;
}

}  // namespace torvo::doctor
