#pragma once
// torvo-doctor --fix: the checks, the fixes it will apply, one question (none with --yes), the
// fixes applied, and the checks once more.
#include <functional>

#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_options.h"

namespace torvo::doctor {

// One run of every check.
struct Checked {
  DoctorContext context;
  Report report;
};

// Writes the first verdicts and the plan, asks, applies, writes the new verdicts (or, with --json,
// one object with the fixes and the new findings); the exit code: 0 when nothing is left a
// problem, 1 otherwise.
int RunFix(const DoctorOptions& options, const std::function<Checked()>& check);

}  // namespace torvo::doctor
