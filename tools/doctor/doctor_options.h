#pragma once
// torvo-doctor's command line: torvo-doctor [--dll PATH] [--json] [--fix [--yes]] [PATH...]
#include <string>
#include <vector>

namespace torvo::doctor {

inline constexpr wchar_t kUsage[] = L"usage: torvo-doctor [--dll PATH] [--json] [--fix [--yes]] [PATH...]\n";

struct DoctorOptions {
  std::wstring dll;                 // --dll PATH; empty: found through the registered class
  bool json = false;                // --json
  bool fix = false;                 // --fix: apply the fixes of this product's registration
  bool yes = false;                 // --yes: without asking (with --fix only)
  bool help = false;                // --help
  std::vector<std::wstring> paths;  // the items to judge
  std::wstring error;               // what was wrong with the command line; empty when nothing
};

// The arguments after the program's name. An argument that begins with "--" is a switch; every
// other one is a path.
DoctorOptions ParseDoctorOptions(const std::vector<std::wstring>& arguments);

}  // namespace torvo::doctor
