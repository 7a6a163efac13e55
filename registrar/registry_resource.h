#pragma once
// The module-level entry of the script engine: one REGISTRY resource of the module applied or
// removed with the caller's variables, the module's common ones and the module's own path.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "registrar/registrar_base.h"
#include "registrar/registry.h"
#include "registrar/registry_difference.h"
#include "registrar/script_source.h"

namespace torvo {

// A caller's variable; an array of them ends with an entry whose szName is null.
struct SubstitutionEntry {
  const char16_t* szName;
  const char16_t* szValue;
};

// The module object as the script engine sees it.
class RegistrarModule {
 public:
  // Adds the variables every script of the module receives.
  virtual HResult AddCommonSubstitutions(IRegistrarBase& registrar) = 0;

 protected:
  ~RegistrarModule() = default;
};

// The text with every "'" doubled, so that it reads back as itself inside a quoted token.
std::u16string EscapeSingleQuotes(std::u16string_view text);

// Applies (registerFlag true) or removes REGISTRY resource `resourceNumber` of the module file.
// The script sees, first match first: the caller's entries (those with a null name or value are
// left out), the module's common variables, "Module" and "Module_Raw" (the module path with its
// quotes doubled; "Module" wrapped in double quotation marks when the module is the running
// executable).
// Fails with the module's status when it cannot add its variables, with the last-error form when
// the path cannot be read, with 0x8007007A for a path of 260 units or more, with kOutOfMemory,
// and otherwise as loading and applying the script does.
HResult ApplyRegistryResource(RegistrarModule& module, ScriptSource& source, Registry& registry,
                              std::uint16_t resourceNumber, bool registerFlag, const SubstitutionEntry* entries);

// Walks REGISTRY resource `resourceNumber` of the module file in the check pass, with the same
// variables and the same per-user redirection as ApplyRegistryResource, and appends what the
// registry holds otherwise than the script writes it to `differences`. Writes nothing; fails as
// ApplyRegistryResource does.
HResult CheckRegistryResource(RegistrarModule& module, ScriptSource& source, Registry& registry,
                              std::uint16_t resourceNumber, const SubstitutionEntry* entries,
                              std::vector<RegistryDifference>& differences);

}  // namespace torvo
