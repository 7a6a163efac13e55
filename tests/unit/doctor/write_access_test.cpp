// Who besides administrators may write a folder: the owner and the allowing entries of its access
// list, its children's entries too, as Windows' own folders and a user's folders carry them.
#include "tools/doctor/reads/write_access.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/fakes/case_name.h"

namespace torvo::doctor {
namespace {

constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr char kUsers[] = "S-1-5-32-545";
constexpr std::uint8_t kForChildren = 0x0B;  // OBJECT_INHERIT | CONTAINER_INHERIT | INHERIT_ONLY
constexpr std::uint32_t kReadAndRun = 0x1200A9;
constexpr std::uint32_t kModify = 0x1301BF;

// C:\Program Files as Windows ships it.
ObjectSecurity ProgramFiles() {
  return {kTrustedInstaller,
          true,
          {{true, kTrustedInstaller, 0, 0x1F01FF},
           {true, "S-1-5-18", 0, kModify},
           {true, "S-1-5-18", kForChildren, 0x10000000},
           {true, "S-1-5-32-544", 0, kModify},
           {true, "S-1-3-0", kForChildren, 0x10000000},
           {true, kUsers, 0, kReadAndRun},
           {true, "S-1-15-2-1", 0, kReadAndRun}}};
}

ObjectSecurity With(AccessEntry entry) {
  ObjectSecurity security = ProgramFiles();
  security.entries.push_back(std::move(entry));
  return security;
}

struct Folder {
  const char* name;
  ObjectSecurity security;
  std::optional<std::string> writer;
};

class WriteAccess : public ::testing::TestWithParam<Folder> {};

TEST_P(WriteAccess, NamesWhoElseMayWrite) { EXPECT_EQ(OtherWriter(GetParam().security), GetParam().writer); }

INSTANTIATE_TEST_SUITE_P(
    Folders, WriteAccess,
    ::testing::Values(
        Folder{"ProgramFiles", ProgramFiles(), std::nullopt},
        Folder{"OwnedByAdministrators", {"S-1-5-32-544", true, {{true, "S-1-5-18", 0, 0x1F01FF}}}, std::nullopt},
        Folder{"EmptyAccessList", {"S-1-5-18", true, {}}, std::nullopt},
        Folder{"UsersAddFiles", With({true, kUsers, 0, 0x0002}), kUsers},
        // C:\ as Windows ships it: authenticated users may create folders in it.
        Folder{"AuthenticatedUsersAddFolders", With({true, "S-1-5-11", 0, 0x0004}), "S-1-5-11"},
        Folder{"UsersModifyTheChildren", With({true, kUsers, kForChildren, kModify}), kUsers},
        Folder{"CreatorOwnerOfTheFolderItself", With({true, "S-1-3-0", 0, 0x10000000}), "S-1-3-0"},
        Folder{"EveryoneChangesTheAccessList", With({true, "S-1-1-0", 0, 0x40000}), "S-1-1-0"},
        Folder{"EveryoneTakesOwnership", With({true, "S-1-1-0", 0, 0x80000}), "S-1-1-0"},
        Folder{"UsersGenericWrite", With({true, kUsers, 0, 0x40000000}), kUsers},
        Folder{"UsersGenericAll", With({true, kUsers, 0, 0x10000000}), kUsers},
        Folder{"UnreadableAccount", With({true, "", 0, 0x0002}),
               "an account the access list names in a form not read here"},
        Folder{"UsersDeniedWriting", With({false, kUsers, 0, kModify}), std::nullopt},
        Folder{"OwnedByTheUser",
               {"S-1-5-21-1-2-3-1000", true, {{true, "S-1-5-32-544", 0, 0x1F01FF}}},
               "the owner S-1-5-21-1-2-3-1000"},
        Folder{"NoAccessList", {"S-1-5-32-544", false, {}}, "everyone (it has no access list)"}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo::doctor
