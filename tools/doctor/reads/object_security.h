#pragma once
// The owner and access list of a file or a folder as Windows keeps them, and who besides
// administrators may change a DLL there.
#include <windows.h>

#include <optional>
#include <string>

#include "tools/doctor/reads/write_access.h"

namespace torvo::doctor {

// The owner and every entry of the access list that `descriptor` holds; nothing when they cannot
// be read.
std::optional<ObjectSecurity> SecurityOf(PSECURITY_DESCRIPTOR descriptor);

// The owner and every entry of the access list of the file or folder at `path`; nothing when
// they cannot be read.
std::optional<ObjectSecurity> ReadObjectSecurity(const std::wstring& path);

// Who besides administrators may put another DLL in the place of the one at `dll`: "S-1-5-11 may
// write C:\Users\ann\Downloads"; nothing when only administrators may write both its folder and the
// file itself. A folder or file whose security cannot be read ("the owner and access list of ...
// cannot be read") counts as anybody's.
std::optional<std::wstring> OtherWriterOf(const std::wstring& dll);

}  // namespace torvo::doctor
