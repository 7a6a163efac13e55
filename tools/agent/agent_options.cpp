#include "tools/agent/agent_options.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>

namespace torvo::agent {

namespace {

std::wstring Folded(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

// The whole text as an unsigned 64-bit number; false when anything else is in it.
bool ReadNumber(const std::wstring& text, std::uint64_t& value) {
  if (text.empty() || text[0] == L'-') return false;
  wchar_t* end = nullptr;
  errno = 0;
  const unsigned long long number = std::wcstoull(text.c_str(), &end, 0);
  if (errno != 0 || end != text.c_str() + text.size()) return false;
  value = number;
  return true;
}

// Splits "/name:value" into a folded name and its value.
void SplitSwitch(const std::wstring& argument, std::wstring& name, std::wstring& value) {
  const std::size_t colon = argument.find(L':');
  name = Folded(argument.substr(0, colon));
  value = colon == std::wstring::npos ? std::wstring() : argument.substr(colon + 1);
}

bool ApplySwitch(const std::wstring& name, const std::wstring& value, AgentOptions& options) {
  if (name == L"/ready") return ReadNumber(value, options.readyAnswer);
  if (name == L"/letter") return ReadNumber(value, options.driveAnswer);
  if (name == L"/drive") {
    if (value.size() != 1) return false;
    options.driveAnswer = static_cast<std::uint16_t>(value[0]);
    return true;
  }
  if (!value.empty()) return false;
  if (name == L"/hang")
    options.hang = true;
  else if (name == L"/logqueries")
    options.logQueries = true;
  else if (name == L"/quit")
    options.quit = true;
  else
    return false;
  return true;
}

}  // namespace

AgentOptions ParseAgentOptions(const std::vector<std::wstring>& arguments) {
  AgentOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    if (Folded(argument) == L"/_loginmove") {
      options.loginMove = true;
      if (i + 1 < arguments.size()) options.listFile = arguments[++i];
      continue;
    }
    std::wstring name, value;
    SplitSwitch(argument, name, value);
    if (!ApplySwitch(name, value, options)) {
      options.error = argument;
      return options;
    }
  }
  return options;
}

}  // namespace torvo::agent
