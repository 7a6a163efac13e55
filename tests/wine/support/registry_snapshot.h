#pragma once
// The registry below given keys, read in this process into one text: every key, and every value
// with its type and bytes. Two snapshots compare equal when nothing below those keys changed.
#include <windows.h>

#include <string>
#include <vector>

namespace torvo::wine {

struct RegistryPlace {
  HKEY root;
  std::wstring path;
  REGSAM view;  // KEY_WOW64_64KEY or KEY_WOW64_32KEY
};

std::wstring RegistrySnapshot(const std::vector<RegistryPlace>& places);

}  // namespace torvo::wine
