#pragma once
// The places that Windows and the user's profile rely on, and the test whether a path is one.
#include <array>
#include <cstdint>

#include "shellmenu/environment.h"

namespace torvo {

inline constexpr std::int32_t PATH_MATCH_CONTAINS = 0;  // expanded text anywhere, case matters
inline constexpr std::int32_t PATH_MATCH_EQUAL = 1;     // the whole path, ASCII case folded

struct ProtectedPathEntry {
  const char16_t* strPattern;
  std::int32_t nMatch;
};

inline constexpr std::size_t kProtectedPathCount = 45;
extern const std::array<ProtectedPathEntry, kProtectedPathCount> g_protectedPaths;

// 1 when the path (blanks at both ends ignored) is a protected place, else 0; null gives 0.
std::int32_t IsProtectedPath(const Environment& environment, const char16_t* path);

}  // namespace torvo
