// What decides whether Explorer loads a registered handler at all: the Blocked lists, the
// approval list and the policy that makes approval necessary.
#include <string>

#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/repair/remedies.h"

namespace torvo::doctor {

namespace {

constexpr wchar_t kShellExtensions[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\";
constexpr wchar_t kExplorerPolicies[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr wchar_t kEnforcePolicy[] = L"EnforceShellExtensionSecurity";

struct Root {
  RegKey key;
  const wchar_t* name;
};
constexpr Root kRoots[] = {{kHkeyLocalMachine, L"HKLM"}, {kHkeyCurrentUser, L"HKCU"}};

const std::wstring kApproved = kApprovedKey;
constexpr wchar_t kLeftAlone[] = L"an administrator's decision, which torvo-doctor --fix leaves as it is";

// The shell reads one thing from Approved: a value named by the class.
bool IsApproved(RegistryReader& reader, const DoctorContext& context, const Root& root) {
  return reader.Value(root.key, kApproved, context.clsid.c_str()).has_value();
}

// Earlier registrations wrote only a key named after the handler, which the shell does not read.
bool HasOnlyTheHandlerKey(RegistryReader& reader) {
  return reader.KeyExists(kHkeyLocalMachine, kApproved + L"\\" + kHandlerName) ||
         reader.KeyExists(kHkeyCurrentUser, kApproved + L"\\" + kHandlerName);
}

// Where the policy is set to a nonzero number; empty when it is not set.
std::wstring EnforcingRoots(RegistryReader& reader) {
  std::wstring roots;
  for (const Root& root : kRoots) {
    const auto value = reader.Dword(root.key, kExplorerPolicies, kEnforcePolicy);
    if (value && *value != 0) roots += (roots.empty() ? L"" : L" and ") + std::wstring(root.name);
  }
  return roots;
}

}  // namespace

void CheckShellPolicy(DoctorContext& context, const NamedPaths&, Report& report) {
  RegistryReader reader;
  bool blocked = false;
  for (const Root& root : kRoots) {
    const std::wstring list = std::wstring(kShellExtensions) + L"Blocked";
    if (!reader.Value(root.key, list, context.clsid.c_str())) continue;
    blocked = true;
    const std::wstring key = std::wstring(root.name) + L"\\" + list;
    report.Problem(L"blocked", L"the class is listed under " + key + L": Explorer never loads it",
                   AdministratorsDecision(L"reg delete " + Quoted(key) + L" /v " + context.clsid +
                                          L" /f, then restart Explorer (" + kLeftAlone + L")"));
  }
  if (!blocked) report.Ok(L"blocked", L"the class is on neither Blocked list (HKLM, HKCU)");

  const std::wstring enforcing = EnforcingRoots(reader);
  const bool approved = IsApproved(reader, context, kRoots[0]) || IsApproved(reader, context, kRoots[1]);
  const std::wstring missing = L"Shell Extensions\\Approved holds no value named " + context.clsid +
                               (HasOnlyTheHandlerKey(reader) ? L" (only the key " + std::wstring(kHandlerName) +
                                                                   L", which the shell does not read)"
                                                             : L"");
  if (approved) {
    report.Ok(L"approval", L"the class is listed under Shell Extensions\\Approved");
  } else if (!enforcing.empty()) {
    report.Problem(L"approval", missing + L", and the policy requires it", WriteApproval(context));
  } else {
    report.Note(L"approval", missing + L"; without the policy Explorer loads the handler anyway");
  }
  if (enforcing.empty()) {
    report.Ok(L"policy", std::wstring(kEnforcePolicy) + L" is not set: Explorer loads unapproved handlers too");
  } else {
    report.Add({Outcome::kNote,
                L"policy",
                std::wstring(kEnforcePolicy) + L" is set (" + enforcing +
                    L"): Explorer loads approved handlers only (" + kLeftAlone + L")",
                {},
                AdministratorsDecision({}).repair});
  }
}

}  // namespace torvo::doctor
