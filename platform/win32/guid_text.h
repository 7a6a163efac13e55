#pragma once
// A GUID as the registry names it: "{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}".
#include <objbase.h>

#include <string>

namespace torvo::win32 {

inline std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  ::StringFromGUID2(guid, text, 40);
  return text;
}

}  // namespace torvo::win32
