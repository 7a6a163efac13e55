#pragma once
// Files as COM and the loader tell them apart: by identity, not by the spelling of their paths.
#include <cstdint>
#include <optional>
#include <string>

namespace torvo::doctor {

// True when both paths name the same file, however each is spelled (letter case, the short 8.3
// form, "." and ".." components): compared by volume and file index when both files exist, else
// by their full paths without regard to case.
bool SameFile(const std::wstring& a, const std::wstring& b);

// The file version of the image's version record, major in the top 16 bits; nothing without one.
std::optional<std::uint64_t> FileVersion(const std::wstring& path);

// "1.3.0.1001".
std::wstring VersionText(std::uint64_t version);

}  // namespace torvo::doctor
