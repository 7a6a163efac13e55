#pragma once
// The process environment of the calling process.
#include "shellmenu/environment.h"

namespace torvo::win32 {

class Win32Environment : public Environment {
 public:
  std::uint32_t ExpandVariables(const char16_t* source, char16_t* buffer,
                                         std::uint32_t size) const override;
  bool IsSpace(char16_t unit) const override;
};

}  // namespace torvo::win32
