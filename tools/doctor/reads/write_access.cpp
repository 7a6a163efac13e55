#include "tools/doctor/reads/write_access.h"

#include <algorithm>

namespace torvo::doctor {

namespace {

constexpr std::uint32_t kWriteRights = 0x0002         // FILE_WRITE_DATA, FILE_ADD_FILE
                                       | 0x0004       // FILE_APPEND_DATA, FILE_ADD_SUBDIRECTORY
                                       | 0x40000      // WRITE_DAC
                                       | 0x80000      // WRITE_OWNER
                                       | 0x10000000   // GENERIC_ALL
                                       | 0x40000000;  // GENERIC_WRITE

constexpr const char* kAdministrators[] = {
    "S-1-5-32-544",                                                    // BUILTIN\Administrators
    "S-1-5-18",                                                        // SYSTEM
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // NT SERVICE\TrustedInstaller
};
constexpr char kCreatorOwner[] = "S-1-3-0";

bool IsAdministrators(const std::string& sid) {
  return std::find(std::begin(kAdministrators), std::end(kAdministrators), sid) != std::end(kAdministrators);
}

bool GrantsWriteToOthers(const AccessEntry& entry) {
  if (!entry.allows || (entry.mask & kWriteRights) == 0 || IsAdministrators(entry.sid)) return false;
  return !(entry.sid == kCreatorOwner && (entry.flags & kInheritOnlyAce) != 0);
}

}  // namespace

std::optional<std::string> OtherWriter(const ObjectSecurity& security) {
  if (!IsAdministrators(security.owner)) return "the owner " + security.owner;
  if (!security.hasAccessList) return "everyone (it has no access list)";
  const auto writer = std::find_if(security.entries.begin(), security.entries.end(), GrantsWriteToOthers);
  if (writer == security.entries.end()) return std::nullopt;
  return writer->sid.empty() ? "an account the access list names in a form not read here" : writer->sid;
}

}  // namespace torvo::doctor
