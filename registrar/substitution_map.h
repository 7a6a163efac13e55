#pragma once
// The variables a script's %NAME% references are replaced with.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace torvo {

// An ordered list of (name, value) pairs, each held as the map's own copies. Pairs are only ever
// appended: a name added twice is present twice, and lookups find the earlier one.
class SubstitutionMap {
 public:
  // Appends a copy of the pair; throws std::bad_alloc, leaving the map as it was.
  void Add(std::u16string_view name, std::u16string_view value);
  void Clear();
  std::size_t Count() const { return names_.size(); }

  const std::u16string& NameAt(std::size_t index) const { return names_[index]; }
  const std::u16string& ValueAt(std::size_t index) const { return values_[index]; }

 private:
  std::vector<std::u16string> names_;
  std::vector<std::u16string> values_;
};

// The value of the first pair whose name equals `name` without regard to case; null if none.
const char16_t* FindSubstitution(const SubstitutionMap& map, std::u16string_view name);

}  // namespace torvo
