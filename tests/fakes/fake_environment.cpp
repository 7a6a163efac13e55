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

bool FakeEnvironment::IsSpace(char16_t unit) const {
  return unit == u' ' || (unit >= u'\t' && unit <= u'\r') || unit == u'\u3000';
}

FakeEnvironment ExampleMachine() {
  FakeEnvironment env;
  env.Set(u"SystemDrive", u"D:");
  env.Set(u"SYSTEMROOT", u"D:\\Windows");
  env.Set(u"ProgramFiles", u"D:\\Program Files");
  env.Set(u"CommonProgramFiles", u"D:\\Program Files\\Common Files");
  env.Set(u"USERPROFILE", u"D:\\Users\\ann");
  env.Set(u"ALLUSERSPROFILE", u"D:\\ProgramData");
  env.Set(u"APPDATA", u"D:\\Users\\ann\\AppData\\Roaming");
  return env;
}

}  // namespace torvo::fakes
