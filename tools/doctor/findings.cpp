#include "tools/doctor/findings.h"

#include <algorithm>

namespace torvo::doctor {

namespace {

const wchar_t* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kOk:
      return L"ok";
    case Outcome::kProblem:
      return L"problem";
    case Outcome::kNote:
      return L"note";
  }
  return L"note";
}

// A JSON string: quotes, backslashes and control characters escaped, everything else as it is.
std::wstring JsonString(const std::wstring& text) {
  std::wstring out = L"\"";
  for (const wchar_t unit : text) {
    if (unit == L'"' || unit == L'\\') {
      out += L'\\';
      out += unit;
    } else if (unit < 0x20) {
      static constexpr wchar_t kDigits[] = L"0123456789abcdef";
      out += L"\\u00";
      out += kDigits[unit >> 4];
      out += kDigits[unit & 0xF];
    } else {
      out += unit;
    }
  }
  return out + L"\"";
}

}  // namespace

bool Report::HasProblem() const {
  return std::any_of(findings_.begin(), findings_.end(),
                     [](const Finding& finding) { return finding.outcome == Outcome::kProblem; });
}

std::wstring Report::AsText() const {
  std::wstring text;
  for (const Finding& finding : findings_) {
    std::wstring line = OutcomeName(finding.outcome);
    line.resize(8, L' ');
    line += finding.check + L": " + finding.text;
    if (finding.outcome == Outcome::kProblem) line += L"; to fix: " + finding.fix;
    text += line + L"\n";
  }
  return text;
}

std::wstring Report::AsJson(const std::wstring& dllPath, const std::vector<FixRecord>* fixes) const {
  const auto problems = std::count_if(findings_.begin(), findings_.end(),
                                      [](const Finding& finding) { return finding.outcome == Outcome::kProblem; });
  std::wstring json = L"{\"dll\": " + JsonString(dllPath) + L", \"problems\": " + std::to_wstring(problems);
  if (fixes != nullptr) {
    json += L", \"fixes\": [";
    for (std::size_t i = 0; i < fixes->size(); ++i) {
      json += std::wstring(i != 0 ? L", " : L"") + L"{\"fix\": " + JsonString((*fixes)[i].command) + L", \"result\": " +
              JsonString((*fixes)[i].result) + L"}";
    }
    json += L"]";
  }
  json += L", \"findings\": [";
  for (std::size_t i = 0; i < findings_.size(); ++i) {
    const Finding& finding = findings_[i];
    if (i != 0) json += L", ";
    json += L"{\"outcome\": " + JsonString(OutcomeName(finding.outcome)) + L", \"check\": " +
            JsonString(finding.check) + L", \"text\": " + JsonString(finding.text) + L", \"fix\": " +
            JsonString(finding.fix) + L"}";
  }
  return json + L"]}\n";
}

}  // namespace torvo::doctor
