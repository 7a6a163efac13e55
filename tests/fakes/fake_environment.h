#pragma once
// An in-memory process environment with ExpandEnvironmentStringsW's documented behaviour.
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "shellmenu/environment.h"

namespace torvo::fakes {

class FakeEnvironment : public Environment {
 public:
  // Sets NAME (compared without regard to case); an empty value is a set, empty variable.
  void Set(std::u16string name, std::u16string value);
  void Unset(const std::u16string& name);
  // Makes every expansion of this exact source text fail (return 0).
  void FailExpansionOf(std::u16string source) { failing_.insert(std::move(source)); }

  std::optional<std::u16string> ExpandVariables(const char16_t* source) const override;
  // The folder's path as set in knownFolders; nothing for a folder not set there.
  std::optional<std::u16string> KnownFolderPath(KnownFolder folder) const override;
  // The long name set in longNames for the exact path; nothing (no such path) otherwise.
  std::optional<std::u16string> LongPathName(const std::u16string& path) const override;
  // Whether the exact path is in files.
  bool NamesAFile(const std::u16string& path) const override;
  // GetFullPathNameW's documented rules: relative paths against currentFolder, drive-relative ones
  // against currentFolder on its drive and the drive's root on another; "." and ".." resolved (never
  // above the root, "\\server\share" for a UNC path), empty names dropped, "/" read as "\", the
  // last name's trailing dots and blanks dropped. Device paths ("\\?\", "\\.\") as written.
  std::optional<std::u16string> FullPathName(const std::u16string& path) const override;
  std::vector<std::u16string> ComputerNames() const override { return computerNames; }
  bool IsSpace(char16_t unit) const override;
  // Upper-cases ASCII, Latin-1, Greek and Cyrillic letters one code unit at a time, as the
  // platform's ordinal comparison does for them.
  bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) const override;
  bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view part) const override;

  std::map<KnownFolder, std::u16string> knownFolders;
  std::map<std::u16string, std::u16string> longNames;  // a short spelling and its long name
  std::set<std::u16string> files;                      // existing items that are no folders
  std::u16string currentFolder = u"D:\\Users\\ann";
  std::vector<std::u16string> computerNames;
  mutable int expansions = 0;        // ExpandVariables calls seen
  mutable int longNameReads = 0;     // LongPathName calls seen
  mutable int knownFolderReads = 0;  // KnownFolderPath calls seen

 private:
  const std::u16string* Find(std::u16string_view name) const;

  std::vector<std::pair<std::u16string, std::u16string>> variables_;
  std::set<std::u16string> failing_;
};

// The environment of the worked examples: a 64-bit machine with Windows on D: and the user ann,
// whose Documents OneDrive keeps; PROGRA~1 is the short name of Program Files.
FakeEnvironment ExampleMachine();

}  // namespace torvo::fakes
