#pragma once
// The process environment as the protected-place test sees it.
#include <optional>
#include <string>

namespace torvo {

class Environment {
 public:
  virtual ~Environment() = default;

  // ExpandEnvironmentStringsW: the source with each %NAME% replaced by the value of NAME (names
  // without regard to case); unset names and a lone '%' stay as written. Nothing on failure.
  virtual std::optional<std::u16string> ExpandVariables(const char16_t* source) const = 0;

  // iswspace: whether the platform classifies the code unit as white space.
  virtual bool IsSpace(char16_t unit) const = 0;
};

}  // namespace torvo
