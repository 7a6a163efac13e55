#include "shellmenu/destination_names.h"

#include <algorithm>

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

// "report.doc" as "report (2).doc"; a name without an extension, or one that begins with its only
// dot, gets the number at its end.
std::u16string NumberedName(const std::u16string& name, unsigned number) {
  const std::size_t dot = name.rfind(u'.');
  const std::size_t split = (dot == std::u16string::npos || dot == 0) ? name.size() : dot;
  return name.substr(0, split) + u" (" + NumberText(number) + u")" + name.substr(split);
}

class NameChooser {
 public:
  NameChooser(const VaultRoot& root, FileMover& mover, const Environment& environment)
      : root_(root.data()), mover_(mover), environment_(environment) {}

  // The destination for an item of this name; empty when none is free.
  std::u16string Choose(const std::u16string& name) {
    for (unsigned number = 1; number <= kMaxNameNumber; ++number) {
      std::u16string path = root_ + (number == 1 ? name : NumberedName(name, number));
      if (path.size() >= kMaxPath) return {};
      if (Taken(path)) continue;
      chosen_.push_back(path);
      return path;
    }
    return {};
  }

 private:
  bool Taken(const std::u16string& path) {
    const bool chosenBefore = std::any_of(chosen_.begin(), chosen_.end(), [&](const std::u16string& earlier) {
      return environment_.EqualIgnoringCase(earlier, path);
    });
    return chosenBefore || mover_.PathExists(path.c_str());
  }

  std::u16string root_;
  FileMover& mover_;
  const Environment& environment_;
  std::vector<std::u16string> chosen_;
};

}  // namespace

std::optional<std::vector<std::u16string>> DestinationPaths(const std::vector<std::u16string>& sources,
                                                            const VaultRoot& root, FileMover& mover,
                                                            const Environment& environment) {
  NameChooser chooser(root, mover, environment);
  std::vector<std::u16string> destinations;
  for (const std::u16string& source : sources) {
    const std::size_t slash = source.rfind(u'\\');
    const std::u16string name = slash == std::u16string::npos ? source : source.substr(slash + 1);
    if (name.empty()) return std::nullopt;
    std::u16string destination = chooser.Choose(name);
    if (destination.empty()) return std::nullopt;
    destinations.push_back(std::move(destination));
  }
  return destinations;
}

}  // namespace torvo
