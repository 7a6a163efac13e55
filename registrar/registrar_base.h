#pragma once
// IRegistrarBase: what the module object sees of the registrar that applies one of its scripts.
#include <cstdint>

#include "common/status.h"

namespace torvo {

// The registrar is no reference-counted COM object: it lives on the stack of one script
// application, so its reference counting counts nothing.
class IRegistrarBase {
 public:
  // Always kNotImplemented; `object` is left untouched.
  virtual HResult QueryInterface(const void* interfaceId, void** object) = 0;
  // 1; nothing is counted.
  virtual std::uint32_t AddRef() = 0;
  // 0; nothing is freed.
  virtual std::uint32_t Release() = 0;
  // Appends copies of the pair to the variables of the script: kInvalidArg for a null pointer,
  // kOutOfMemory when the copies cannot be made, else kOk.
  virtual HResult AddSubstitution(const char16_t* name, const char16_t* value) = 0;
  // Forgets every variable; kOk.
  virtual HResult ClearSubstitutions() = 0;

 protected:
  ~IRegistrarBase() = default;
};

}  // namespace torvo
