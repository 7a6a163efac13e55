#pragma once
// What torvo-doctor found: one finding per line of its report, as text or as one JSON object.
#include <string>
#include <vector>

#include "tools/doctor/repair/repair.h"

namespace torvo::doctor {

enum class Outcome { kOk, kProblem, kNote };

struct Finding {
  Outcome outcome = Outcome::kNote;
  std::wstring check;  // what was looked at: "dll", "registration machine-wide", "agent", "path", ...
  std::wstring text;   // what was found
  std::wstring fix;    // for a problem: what to do about it
  Repair repair;       // what --fix does about it
};

// What to do about a problem: in words, and what --fix applies.
struct Remedy {
  std::wstring text;
  Repair repair;
};

// The result of one repair as --fix reports it: the command it stands for and what came of it.
struct FixRecord {
  std::wstring command;
  std::wstring result;  // "fixed", "needs administrator", "failed: ...", "not applied", ...
};

class Report {
 public:
  void Ok(std::wstring check, std::wstring text) { Add({Outcome::kOk, std::move(check), std::move(text), {}, {}}); }
  void Note(std::wstring check, std::wstring text) { Add({Outcome::kNote, std::move(check), std::move(text), {}, {}}); }
  void Problem(std::wstring check, std::wstring text, std::wstring fix) {
    Add({Outcome::kProblem, std::move(check), std::move(text), std::move(fix), {}});
  }
  void Problem(std::wstring check, std::wstring text, Remedy remedy) {
    Add({Outcome::kProblem, std::move(check), std::move(text), std::move(remedy.text), std::move(remedy.repair)});
  }
  void Add(Finding finding) { findings_.push_back(std::move(finding)); }

  const std::vector<Finding>& Findings() const { return findings_; }
  bool HasProblem() const;

  // One line per finding: "ok", "problem" or "note", the check, what was found and, for a
  // problem, "; to fix: " and what to do.
  std::wstring AsText() const;
  // {"dll": ..., "problems": N, "findings": [{"outcome", "check", "text", "fix"}, ...]}, one line;
  // after --fix, with "fixes": [{"fix", "result"}, ...] before the findings.
  std::wstring AsJson(const std::wstring& dllPath, const std::vector<FixRecord>* fixes = nullptr) const;

 private:
  std::vector<Finding> findings_;
};

}  // namespace torvo::doctor
