#pragma once
// The places that Windows and the user's profile rely on, and the test whether a path is one.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"
#include "shellmenu/environment.h"

namespace torvo {

// Both kinds compare without regard to letter case, as Windows compares file names.
inline constexpr std::int32_t PATH_MATCH_CONTAINS = 0;  // the expanded text anywhere in the path
inline constexpr std::int32_t PATH_MATCH_EQUAL = 1;     // the whole path

// A row names its place by a pattern of environment variables, or, for the user's known folders, by
// the folder (its pattern then only names it for people).
struct ProtectedPathEntry {
  const char16_t* strPattern;
  std::int32_t nMatch;
  KnownFolder folder = KnownFolder::kNone;
};

inline constexpr std::size_t kProtectedPathCount = 59;
extern const std::array<ProtectedPathEntry, kProtectedPathCount> g_protectedPaths;

// Whether the rows of the user's known folders take part. Those rows only ever add protection, and
// each names a folder: a test may leave them out for paths none of which is a folder, or when a
// complete judgement follows later.
enum class KnownFolderRows : std::uint8_t { kJudged, kLeftOut };

// The rows expanded in the given environment, each at most once and only when a test first
// reaches it, so that many paths can be tested against one expansion. A row whose expansion fails
// or does not fit a path buffer matches nothing.
class ExpandedProtectedPaths {
 public:
  explicit ExpandedProtectedPaths(const Environment& environment, KnownFolderRows folders = KnownFolderRows::kJudged)
      : environment_(environment), folders_(folders) {}
  ExpandedProtectedPaths(const ExpandedProtectedPaths&) = delete;
  ExpandedProtectedPaths& operator=(const ExpandedProtectedPaths&) = delete;

  // The index of the first row that the path, already in its canonical form (canonical_path.h),
  // matches; nothing for an unprotected path.
  std::optional<std::size_t> MatchingRow(std::u16string_view canonical);

  const Environment& environment() const { return environment_; }

 private:
  enum class Row : std::uint8_t { kNotExpanded, kUsable, kUnusable };
  bool Usable(std::size_t row);

  const Environment& environment_;
  const KnownFolderRows folders_;
  std::array<std::u16string, kProtectedPathCount> expanded_;
  std::array<Row, kProtectedPathCount> rows_{};
};

// The row's place on this machine: its pattern expanded, or its known folder's path; nothing when
// that fails.
std::optional<std::u16string> ExpandRow(const ProtectedPathEntry& row, const Environment& environment);

// 1 when the path, in its canonical form, is a protected place, else 0; null gives 0.
std::int32_t IsProtectedPath(const Environment& environment, const char16_t* path);

}  // namespace torvo
