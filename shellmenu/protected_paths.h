#pragma once
// The places that Windows and the user's profile rely on, and the test whether a path is one.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/text.h"
#include "shellmenu/environment.h"

namespace torvo {

// Both kinds compare without regard to letter case, as Windows compares file names.
inline constexpr std::int32_t PATH_MATCH_CONTAINS = 0;  // the expanded text anywhere in the path
inline constexpr std::int32_t PATH_MATCH_EQUAL = 1;     // the whole path

struct ProtectedPathEntry {
  const char16_t* strPattern;
  std::int32_t nMatch;
};

inline constexpr std::size_t kProtectedPathCount = 49;
extern const std::array<ProtectedPathEntry, kProtectedPathCount> g_protectedPaths;

// The rows expanded in the given environment, each at most once and only when a test first
// reaches it, so that many paths can be tested against one expansion. A row whose expansion fails
// or does not fit a path buffer matches nothing.
class ExpandedProtectedPaths {
 public:
  explicit ExpandedProtectedPaths(const Environment& environment) : environment_(environment) {}
  ExpandedProtectedPaths(const ExpandedProtectedPaths&) = delete;
  ExpandedProtectedPaths& operator=(const ExpandedProtectedPaths&) = delete;

  // The index of the first row that the path (blanks at both ends ignored) matches; nothing for an
  // unprotected path and for null.
  std::optional<std::size_t> MatchingRow(const char16_t* path);

 private:
  enum class Row : std::uint8_t { kNotExpanded, kUsable, kUnusable };
  bool Usable(std::size_t row);

  const Environment& environment_;
  std::array<std::u16string, kProtectedPathCount> expanded_;
  std::array<Row, kProtectedPathCount> rows_{};
};

// 1 when the path (blanks at both ends ignored) is a protected place, else 0; null gives 0.
std::int32_t IsProtectedPath(const Environment& environment, const char16_t* path);

}  // namespace torvo
