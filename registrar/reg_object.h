#pragma once
// CRegObject: the registrar of one script application, with the variables of that script.
#include <cstdint>
#include <vector>

#include "common/status.h"
#include "registrar/registrar_base.h"
#include "registrar/registry.h"
#include "registrar/registry_resource.h"
#include "registrar/script_source.h"
#include "registrar/script_walker.h"
#include "registrar/substitution_map.h"

namespace torvo {

class CRegObject : public IRegistrarBase {
 public:
  CRegObject(ScriptSource& source, Registry& registry) : source_(source), registry_(registry) {}
  CRegObject(const CRegObject&) = delete;
  CRegObject& operator=(const CRegObject&) = delete;

  HResult QueryInterface(const void* interfaceId, void** object) override;
  std::uint32_t AddRef() override { return 1; }
  std::uint32_t Release() override { return 0; }
  HResult AddSubstitution(const char16_t* name, const char16_t* value) override;
  HResult ClearSubstitutions() override;
  virtual ~CRegObject() { substitutions_.Clear(); }

  // Loads resource `number` of `type` from the module file at `modulePath` and applies it
  // (registerFlag true) or removes it, with this registrar's variables.
  // The last-error form of a failed load or conversion, kOutOfMemory for a resource too large to
  // convert, else the walk's result.
  HResult ApplyResourceScript(const char16_t* modulePath, std::uint16_t number, const char16_t* type,
                              bool registerFlag);

  // Loads the resource as ApplyResourceScript does and walks it in the check pass, appending what
  // differs to `differences` (also what was found before a failure). Fails as ApplyResourceScript.
  HResult CheckResourceScript(const char16_t* modulePath, std::uint16_t number, const char16_t* type,
                              std::vector<RegistryDifference>& differences);

  const SubstitutionMap& Substitutions() const { return substitutions_; }

 private:
  HResult WalkResourceScript(const char16_t* modulePath, std::uint16_t number, const char16_t* type, WalkPass pass,
                             std::vector<RegistryDifference>* differences);

  ScriptSource& source_;
  Registry& registry_;
  SubstitutionMap substitutions_;
};

}  // namespace torvo
