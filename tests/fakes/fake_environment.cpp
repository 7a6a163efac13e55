#include "tests/fakes/fake_environment.h"

#include <algorithm>

#include "common/text.h"

namespace torvo::fakes {

void FakeEnvironment::Set(std::u16string name, std::u16string value) {
  Unset(name);
  variables_.emplace_back(std::move(name), std::move(value));
}

void FakeEnvironment::Unset(const std::u16string& name) {
  std::erase_if(variables_, [&](const auto& v) { return EqualsFoldingAscii(v.first, name); });
}

const std::u16string* FakeEnvironment::Find(std::u16string_view name) const {
  for (const auto& [key, value] : variables_) {
    if (EqualsFoldingAscii(key, name)) return &value;
  }
  return nullptr;
}

std::optional<std::u16string> FakeEnvironment::ExpandVariables(const char16_t* source) const {
  ++expansions;
  const std::u16string_view text(source);
  if (failing_.count(std::u16string(text)) != 0) return std::nullopt;
  std::u16string result;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t close = text[i] == u'%' ? text.find(u'%', i + 1) : std::u16string_view::npos;
    const std::u16string* value =
        close == std::u16string_view::npos ? nullptr : Find(text.substr(i + 1, close - i - 1));
    if (value == nullptr) {
      result += text[i++];  // an unset name or a lone '%' stays as written
      continue;
    }
    result += *value;
    i = close + 1;
  }
  return result;
}

std::optional<std::u16string> FakeEnvironment::KnownFolderPath(KnownFolder folder) const {
  ++knownFolderReads;
  const auto found = knownFolders.find(folder);
  if (found == knownFolders.end()) return std::nullopt;
  return found->second;
}

bool FakeEnvironment::NamesAFile(const std::u16string& path) const { return files.count(path) != 0; }

std::optional<std::u16string> FakeEnvironment::LongPathName(const std::u16string& path) const {
  ++longNameReads;
  const auto found = longNames.find(path);
  if (found == longNames.end()) return std::nullopt;
  return found->second;
}

namespace {

// The root a full path keeps ("D:\\", "\\\\server\\share\\") and what follows it, for the path
// made absolute against the current folder.
std::pair<std::u16string, std::u16string> RootAndRest(std::u16string path, const std::u16string& current) {
  if (path.starts_with(u"\\\\")) {
    std::size_t end = path.find(u'\\', 2);
    end = end == std::u16string::npos ? path.size() : path.find(u'\\', end + 1);
    end = end == std::u16string::npos ? path.size() : end;
    return {path.substr(0, end) + u"\\", path.substr(std::min(end + 1, path.size()))};
  }
  if (path.size() >= 2 && path[1] == u':') {
    const bool sameDrive = FoldAscii(path[0]) == FoldAscii(current[0]);
    if (path.size() > 2 && path[2] == u'\\') return {path.substr(0, 3), path.substr(3)};
    return {path.substr(0, 2) + u"\\", (sameDrive ? current.substr(3) + u"\\" : u"") + path.substr(2)};
  }
  if (path.starts_with(u"\\")) return {current.substr(0, 3), path.substr(1)};
  return {current.substr(0, 3), current.substr(3) + u"\\" + path};
}

}  // namespace

std::optional<std::u16string> FakeEnvironment::FullPathName(const std::u16string& written) const {
  if (written.empty()) return std::nullopt;  // ERROR_INVALID_NAME
  std::u16string path = written;
  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (path.starts_with(u"\\\\?\\") || path.starts_with(u"\\\\.\\")) return path;
  auto [root, rest] = RootAndRest(path, currentFolder);
  std::vector<std::u16string> names;
  for (std::size_t at = 0; at <= rest.size();) {
    const std::size_t end = std::min(rest.find(u'\\', at), rest.size());
    const std::u16string name = rest.substr(at, end - at);
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != u".") {
      names.push_back(name);
    }
    at = end + 1;
  }
  const bool closingSeparator = rest.ends_with(u'\\') && !names.empty();
  if (!closingSeparator && !names.empty()) {
    std::u16string& last = names.back();
    while (!last.empty() && (last.back() == u'.' || last.back() == u' ')) last.pop_back();
    if (last.empty()) names.pop_back();
  }
  std::u16string full = root;
  for (const std::u16string& name : names) full += name + u"\\";
  if (!closingSeparator && !names.empty()) full.pop_back();
  return full;
}

bool FakeEnvironment::IsSpace(char16_t unit) const {
  return unit == u' ' || (unit >= u'\t' && unit <= u'\r') || unit == u'\u3000';
}

namespace {

char16_t UpperCase(char16_t unit) {
  const auto in = [unit](char16_t first, char16_t last) { return unit >= first && unit <= last; };
  if (in(u'a', u'z') || (in(u'\u00E0', u'\u00FE') && unit != u'\u00F7')) return unit - 0x20;  // ASCII, Latin-1
  if (in(u'\u03B1', u'\u03C9') && unit != u'\u03C2') return unit - 0x20;                      // Greek
  if (in(u'\u0430', u'\u044F')) return unit - 0x20;                                           // Cyrillic
  if (in(u'\u0450', u'\u045F')) return unit - 0x50;
  return unit;
}

}  // namespace

bool FakeEnvironment::EqualIgnoringCase(std::u16string_view a, std::u16string_view b) const {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return UpperCase(x) == UpperCase(y); });
}

bool FakeEnvironment::ContainsIgnoringCase(std::u16string_view text, std::u16string_view part) const {
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (EqualIgnoringCase(text.substr(at, part.size()), part)) return true;
  }
  return false;
}

FakeEnvironment ExampleMachine() {
  FakeEnvironment env;
  env.Set(u"SystemDrive", u"D:");
  env.Set(u"SYSTEMROOT", u"D:\\Windows");
  env.Set(u"ProgramFiles", u"D:\\Program Files");
  env.Set(u"CommonProgramFiles", u"D:\\Program Files\\Common Files");
  env.Set(u"ProgramW6432", u"D:\\Program Files");
  env.Set(u"CommonProgramW6432", u"D:\\Program Files\\Common Files");
  env.Set(u"ProgramFiles(x86)", u"D:\\Program Files (x86)");
  env.Set(u"CommonProgramFiles(x86)", u"D:\\Program Files (x86)\\Common Files");
  env.Set(u"USERPROFILE", u"D:\\Users\\ann");
  env.Set(u"ALLUSERSPROFILE", u"D:\\ProgramData");
  env.Set(u"APPDATA", u"D:\\Users\\ann\\AppData\\Roaming");
  env.Set(u"COMPUTERNAME", u"ANN-PC");
  env.knownFolders = {{KnownFolder::kDocuments, u"D:\\Users\\ann\\OneDrive\\Documents"},
                      {KnownFolder::kDownloads, u"D:\\Users\\ann\\Downloads"},
                      {KnownFolder::kLocalAppData, u"D:\\Users\\ann\\AppData\\Local"}};
  env.longNames = {{u"D:\\PROGRA~1", u"D:\\Program Files"},
                   {u"D:\\PROGRA~1\\COMMON~1\\x.dll", u"D:\\Program Files\\Common Files\\x.dll"}};
  env.computerNames = {u"ANN-PC", u"ann-pc", u"ann-pc.corp.example.com"};
  return env;
}

}  // namespace torvo::fakes
