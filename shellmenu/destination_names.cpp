#include "shellmenu/destination_names.h"

#include <bitset>

#include "common/text.h"

namespace torvo {

namespace {

std::u16string NumberText(unsigned number) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + number % 10));
    number /= 10;
  } while (number != 0);
  return digits;
}

// A name as the shell numbers it: the number goes between `stem` and `ending`. A file's ending is
// its extension ("report" and ".doc"); a folder, a name without an extension, or one that begins
// with its only dot gets the number at its end.
struct NameParts {
  std::u16string_view stem;
  std::u16string_view ending;
};

NameParts SplitName(std::u16string_view name, bool folder) {
  const std::size_t dot = name.rfind(u'.');
  const std::size_t split = (folder || dot == std::u16string_view::npos || dot == 0) ? name.size() : dot;
  return {name.substr(0, split), name.substr(split)};
}

std::u16string NumberedName(const NameParts& parts, unsigned number) {
  std::u16string name(parts.stem);
  name.append(u" (").append(NumberText(number)).append(u")").append(parts.ending);
  return name;
}

// The number the shell's numbering would have given `existing` in the series of `parts` ("r (12).doc"
// is 12 of "r", ".doc"), 1 for the name itself; 0 when it is none of the series.
unsigned NumberInSeries(std::u16string_view existing, std::u16string_view name, const NameParts& parts,
                        const Environment& environment) {
  if (environment.EqualIgnoringCase(existing, name)) return 1;
  const std::size_t fixed = parts.stem.size() + parts.ending.size();
  if (existing.size() < fixed + 4 || existing.size() > fixed + 7) return 0;  // " (2)" to " (9999)"
  const std::u16string_view middle = existing.substr(parts.stem.size(), existing.size() - fixed);
  if (!middle.starts_with(u" (") || !middle.ends_with(u')') || middle[2] == u'0') return 0;
  unsigned number = 0;
  for (const char16_t unit : middle.substr(2, middle.size() - 3)) {
    if (unit < u'0' || unit > u'9') return 0;
    number = number * 10 + static_cast<unsigned>(unit - u'0');
  }
  const bool sameParts =
      environment.EqualIgnoringCase(existing.substr(0, parts.stem.size()), parts.stem) &&
      environment.EqualIgnoringCase(existing.substr(existing.size() - parts.ending.size()), parts.ending);
  return sameParts && number >= 2 ? number : 0;
}

class NameChooser {
 public:
  NameChooser(const VaultRoot& root, std::vector<std::u16string> names, const Environment& environment)
      : root_(root.data()), names_(std::move(names)), environment_(environment) {}

  // The destination for an item of this name: the lowest number the root and the earlier items
  // leave free; empty when none is.
  std::u16string Choose(const std::u16string& name, bool folder) {
    const NameParts parts = SplitName(name, folder);
    std::bitset<kMaxNameNumber + 1> taken;
    for (const std::u16string& existing : names_) taken.set(NumberInSeries(existing, name, parts, environment_));
    for (unsigned number = 1; number <= kMaxNameNumber; ++number) {
      if (taken.test(number)) continue;
      std::u16string chosen = number == 1 ? name : NumberedName(parts, number);
      if (root_.size() + chosen.size() >= kMaxPath) return {};
      names_.push_back(chosen);
      return root_ + chosen;
    }
    return {};
  }

 private:
  std::u16string root_;
  std::vector<std::u16string> names_;  // what the root holds, and what earlier items take
  const Environment& environment_;
};

}  // namespace

std::optional<std::vector<std::u16string>> DestinationPaths(const std::vector<std::u16string>& sources,
                                                            const VaultRoot& root, FileMover& mover,
                                                            const Environment& environment) {
  std::optional<std::vector<std::u16string>> names = mover.ListNames(root.data());
  if (!names) return std::nullopt;
  NameChooser chooser(root, std::move(*names), environment);
  std::vector<std::u16string> destinations;
  for (const std::u16string& source : sources) {
    const std::size_t slash = source.rfind(u'\\');
    const std::u16string name = slash == std::u16string::npos ? source : source.substr(slash + 1);
    if (name.empty()) return std::nullopt;
    std::u16string destination = chooser.Choose(name, mover.IsFolder(source.c_str()));
    if (destination.empty()) return std::nullopt;
    destinations.push_back(std::move(destination));
  }
  return destinations;
}

}  // namespace torvo
