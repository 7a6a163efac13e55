#include "registrar/substitution_map.h"

#include "common/text.h"

namespace torvo {

void SubstitutionMap::Add(std::u16string_view name, std::u16string_view value) {
  names_.emplace_back(name);
  try {
    values_.emplace_back(value);
  } catch (...) {
    names_.pop_back();  // the two arrays stay the same length
    throw;
  }
}

void SubstitutionMap::Clear() {
  names_.clear();
  names_.shrink_to_fit();
  values_.clear();
  values_.shrink_to_fit();
}

const char16_t* FindSubstitution(const SubstitutionMap& map, std::u16string_view name) {
  for (std::size_t i = 0; i < map.Count(); ++i) {
    if (EqualsFoldingAscii(map.NameAt(i), name)) return map.ValueAt(i).c_str();
  }
  return nullptr;
}

}  // namespace torvo
