#pragma once
// Who may write a file or a folder, judged from its owner and access list as Windows grants
// access: an elevated doctor loads a DLL only from where administrators alone could have put it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvo::doctor {

inline constexpr std::uint8_t kInheritOnlyAce = 0x08;  // INHERIT_ONLY_ACE: for the children alone

// One entry of an access list, as read from it.
struct AccessEntry {
  bool allows = false;     // an allowing entry of any kind; denying ones never widen access
  std::string sid;         // "S-1-5-32-545"; empty when the entry names no account that can be read
  std::uint8_t flags = 0;  // its AceFlags: inheritance
  std::uint32_t mask = 0;  // its rights
};

struct ObjectSecurity {
  std::string owner;          // the owner's SID: the owner may always change the access list
  bool hasAccessList = true;  // no access list (a null DACL) lets everyone do everything
  std::vector<AccessEntry> entries;
};

// Who besides Administrators, SYSTEM and TrustedInstaller may add or change files there, or
// change who may: "S-1-5-11", "the owner S-1-5-21-...", "everyone (it has no access list)";
// nothing when only they may. Any allowing entry that grants writing, appending, adding a file or
// a folder, WRITE_DAC, WRITE_OWNER, GENERIC_WRITE or GENERIC_ALL to another account counts, its
// children's entries too (their rights reach the files inside); only CREATOR OWNER's entries for
// the children are the creator's, an administrator's where only administrators create. Denying
// entries are not weighed against the grants.
std::optional<std::string> OtherWriter(const ObjectSecurity& security);

}  // namespace torvo::doctor
