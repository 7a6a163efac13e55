#include "tools/doctor/doctor_options.h"

namespace torvo::doctor {

DoctorOptions ParseDoctorOptions(const std::vector<std::wstring>& arguments) {
  DoctorOptions options;
  for (std::size_t i = 0; i < arguments.size() && options.error.empty(); ++i) {
    const std::wstring& argument = arguments[i];
    if (argument == L"--json") {
      options.json = true;
    } else if (argument == L"--fix") {
      options.fix = true;
    } else if (argument == L"--yes") {
      options.yes = true;
    } else if (argument == L"--help") {
      options.help = true;
    } else if (argument == L"--dll") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty())
        options.error = L"--dll needs a path";
      else
        options.dll = arguments[++i];
    } else if (argument.rfind(L"--", 0) == 0) {
      options.error = L"unknown switch " + argument;
    } else {
      options.paths.push_back(argument);
    }
  }
  if (options.error.empty() && options.yes && !options.fix) options.error = L"--yes goes with --fix";
  return options;
}

}  // namespace torvo::doctor
