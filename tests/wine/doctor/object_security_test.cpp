// The doctor's reading of owners and access lists through the platform's own security functions,
// on descriptors written in SDDL: Wine keeps no access list of a file that only administrators
// may write (it maps a file's access list to its Unix mode, every folder the user's), so the
// folders an administrator locks down are built here. Who else may write them is judged natively
// (tests/unit/doctor/write_access_test.cpp).
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "tests/fakes/case_name.h"
#include "tools/doctor/reads/object_security.h"

namespace torvo::doctor {
namespace {

struct Descriptor {
  const char* name;
  const wchar_t* sddl;
  std::optional<std::string> writer;
};

class ObjectSecurityRead : public ::testing::TestWithParam<Descriptor> {};

TEST_P(ObjectSecurityRead, NamesWhoElseMayWrite) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(
      ::ConvertStringSecurityDescriptorToSecurityDescriptorW(GetParam().sddl, SDDL_REVISION_1, &descriptor, nullptr));
  const std::optional<ObjectSecurity> security = SecurityOf(descriptor);
  ::LocalFree(descriptor);
  ASSERT_TRUE(security.has_value());
  EXPECT_EQ(OtherWriter(*security), GetParam().writer);
}

constexpr wchar_t kAdministratorsAlone[] = L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";

INSTANTIATE_TEST_SUITE_P(
    Descriptors, ObjectSecurityRead,
    ::testing::Values(
        Descriptor{"AdministratorsAlone", kAdministratorsAlone, std::nullopt},
        // C:\Program Files: TrustedInstaller's, the creator's rights for the children.
        Descriptor{
            "ProgramFiles",
            L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:P(A;;FA;;;S-1-5-80-956008885-"
            L"3418522649-1831038044-1853292631-2271478464)(A;OICIIO;GA;;;CO)(A;;0x1301bf;;;BA)(A;;0x1200a9;;;BU)",
            std::nullopt},
        Descriptor{"UsersAddFiles", L"O:BAD:P(A;;FA;;;BA)(A;;0x2;;;BU)", "S-1-5-32-545"},
        Descriptor{"UsersModifyTheChildren", L"O:BAD:P(A;;FA;;;BA)(A;OICIIO;0x1301bf;;;BU)", "S-1-5-32-545"},
        Descriptor{"DeniedToUsers", L"O:BAD:P(D;;FA;;;BU)(A;;FA;;;BA)", std::nullopt},
        Descriptor{"OwnedByAUser", L"O:S-1-5-21-1-2-3-1000D:P(A;;FA;;;BA)", "the owner S-1-5-21-1-2-3-1000"},
        Descriptor{"NoAccessList", L"O:BA", "everyone (it has no access list)"}),
    fakes::CaseName());

// A conditional entry (Dynamic Access Control's callback kind, which SDDL under Wine does not
// read) that lets everyone write: its account is read as a plain entry's is.
TEST(ObjectSecurityRead, ReadsTheAccountOfAConditionalEntry) {
  alignas(DWORD) BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
  alignas(DWORD) BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
  DWORD everyoneSize = sizeof everyone, administratorsSize = sizeof administrators;
  ASSERT_TRUE(::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &everyoneSize));
  ASSERT_TRUE(::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &administratorsSize));
  alignas(DWORD) BYTE entry[128] = {};
  auto* callback = reinterpret_cast<ACCESS_ALLOWED_CALLBACK_ACE*>(entry);
  callback->Header.AceType = ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
  callback->Header.AceSize = static_cast<WORD>(offsetof(ACCESS_ALLOWED_CALLBACK_ACE, SidStart) + everyoneSize + 4);
  callback->Mask = GENERIC_WRITE;
  ASSERT_TRUE(::CopySid(everyoneSize, &callback->SidStart, everyone));
  ::memcpy(entry + callback->Header.AceSize - 4, "artx", 4);  // the condition's marker; no condition follows
  alignas(DWORD) BYTE list[256] = {};
  ASSERT_TRUE(::InitializeAcl(reinterpret_cast<PACL>(list), sizeof list, ACL_REVISION));
  ASSERT_TRUE(::AddAce(reinterpret_cast<PACL>(list), ACL_REVISION, MAXDWORD, entry, callback->Header.AceSize));
  SECURITY_DESCRIPTOR descriptor{};
  ASSERT_TRUE(::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(::SetSecurityDescriptorOwner(&descriptor, administrators, FALSE));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(list), FALSE));
  const std::optional<ObjectSecurity> security = SecurityOf(&descriptor);
  ASSERT_TRUE(security.has_value());
  EXPECT_EQ(OtherWriter(*security), "S-1-1-0");
}

}  // namespace
}  // namespace torvo::doctor
