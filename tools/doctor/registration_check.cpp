// The registration, machine-wide and per user: the DLL's own two scripts walked in the check pass
// with the substitutions the DLL's registration gives them.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/wide.h"
#include "registrar/register_mode.h"
#include "registrar/registry_resource.h"
#include "resources/app_id.h"
#include "resources/resource_ids.h"
#include "tools/doctor/doctor_checks.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/dll_script_source.h"
#include "tools/doctor/file_identity.h"
#include "tools/doctor/machine_classes_view.h"
#include "tools/doctor/registry_reads.h"

namespace torvo::doctor {

namespace {

// As the DLL's module object adds it to every script.
class DoctorModule : public RegistrarModule {
 public:
  HResult AddCommonSubstitutions(IRegistrarBase& registrar) override {
    return registrar.AddSubstitution(u"APPID", win32::AsUtf16(kAppId));
  }
};

// Sets the process's per-user mode for one check, as DllInstall("user") sets it for registering.
class RegisterMode {
 public:
  explicit RegisterMode(bool perUser) : saved_(g_registerPerUser) { g_registerPerUser = perUser; }
  RegisterMode(const RegisterMode&) = delete;
  RegisterMode& operator=(const RegisterMode&) = delete;
  ~RegisterMode() { g_registerPerUser = saved_; }

 private:
  bool saved_;
};

struct Scope {
  const wchar_t* check;  // the report's name of the check
  bool perUser;
  RegKey classesRoot;  // where this scope's class registrations live
  const wchar_t* fix;  // the start of the command that registers this way
};

constexpr Scope kScopes[] = {
    {L"registration machine-wide", false, kHkeyLocalMachine, L"regsvr32 "},
    {L"registration per user", true, kHkeyCurrentUser, L"regsvr32 /n /i:user "},
};

// Both scripts of the DLL in the check walk, with `modulePath` as %MODULE%; the first failure,
// with what was found until then.
HRESULT CheckScripts(const DoctorContext& context, const std::wstring& modulePath, const Scope& scope,
                     std::vector<RegistryDifference>& differences) {
  const RegisterMode mode(scope.perUser);
  RegistryReader reader;
  MachineClassesView registry(reader.Adapter());
  DllScriptSource source(context.dll, modulePath);
  DoctorModule module;
  const SubstitutionEntry appId[] = {{u"APPID", win32::AsUtf16(kAppId)}, {nullptr, nullptr}};
  const HRESULT hr = CheckRegistryResource(module, source, registry, IDR_TORVO_APPID, appId, differences);
  if (FAILED(hr)) return hr;
  return CheckRegistryResource(module, source, registry, IDR_TORVO_HANDLER, nullptr, differences);
}

std::wstring DescribeValue(const EncodedValue& value) {
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      std::wstring units(value.bytes.size() / sizeof(wchar_t), L'\0');
      if (!units.empty()) std::memcpy(units.data(), value.bytes.data(), units.size() * sizeof(wchar_t));
      while (!units.empty() && units.back() == L'\0') units.pop_back();
      std::replace(units.begin(), units.end(), L'\0', L'|');
      const wchar_t* type = value.type == REG_SZ          ? L"REG_SZ \""
                            : value.type == REG_EXPAND_SZ ? L"REG_EXPAND_SZ \""
                                                          : L"REG_MULTI_SZ \"";
      return type + units + L"\"";
    }
    case REG_DWORD:
      if (value.bytes.size() == 4) {
        std::uint32_t number = 0;
        std::memcpy(&number, value.bytes.data(), 4);
        return L"REG_DWORD " + std::to_wstring(number);
      }
      break;
    default:
      break;
  }
  std::wstring text = L"type " + std::to_wstring(value.type) + L",";
  for (const std::uint8_t byte : value.bytes) {
    wchar_t hex[4];
    ::wsprintfW(hex, L" %02x", byte);
    text += hex;
  }
  return text;
}

// The key where this scope reads it: machine-wide, the script's HKCR is HKLM\Software\Classes.
std::wstring PlacedKey(const Scope& scope, const std::u16string& keyPath) {
  std::wstring key = Wide(keyPath);
  const std::wstring classesRoot = L"HKCR";
  if (!scope.perUser && key.compare(0, classesRoot.size(), classesRoot) == 0 &&
      (key.size() == classesRoot.size() || key[classesRoot.size()] == L'\\')) {
    key.replace(0, classesRoot.size(), L"HKLM\\Software\\Classes");
  }
  return key;
}

std::wstring DescribeDifference(const Scope& scope, const RegistryDifference& difference) {
  const std::wstring key = PlacedKey(scope, difference.keyPath);
  const std::wstring value = difference.valueName.empty() ? L"the default value of " + key
                                                          : L"value " + Wide(difference.valueName) + L" of " + key;
  switch (difference.kind) {
    case DifferenceKind::kMissingKey:
      return L"missing key " + key;
    case DifferenceKind::kMissingValue:
      return L"missing " + value + L" (the script writes " + DescribeValue(difference.expected) + L")";
    case DifferenceKind::kDifferentType:
    case DifferenceKind::kDifferentData:
      return value + L" is " + DescribeValue(difference.found) + L" instead of " + DescribeValue(difference.expected);
  }
  return key;
}

bool SameDifference(const RegistryDifference& a, const RegistryDifference& b) {
  return a.kind == b.kind && a.keyPath == b.keyPath && a.valueName == b.valueName;
}

bool EndsWith(const std::u16string& text, std::u16string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Where the shell reads the approval; whether it is there is the approval check's verdict alone.
bool UnderApproved(const RegistryDifference& difference) {
  constexpr std::u16string_view kApproved =
      u"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
  return difference.keyPath.compare(0, kApproved.size(), kApproved) == 0;
}

// What the registry holds where the script differs, accepted as COM and the shell read it: the
// server's path as REG_EXPAND_SZ, in another letter case or in the short 8.3 form of the same
// file; ThreadingModel in any letter case, "Apartment" or "Both" (both load into an apartment-
// threaded shell); a class identifier in another letter case.
bool ComAccepts(const RegistryDifference& difference) {
  if (difference.kind != DifferenceKind::kDifferentType && difference.kind != DifferenceKind::kDifferentData) {
    return false;
  }
  const std::optional<std::wstring> found = ValueText(difference.found);
  const std::optional<std::wstring> expected = ValueText(difference.expected);
  if (!found || !expected) return false;
  if (difference.valueName == u"ThreadingModel") return SameName(*found, L"Apartment") || SameName(*found, L"Both");
  if (difference.valueName.empty() && EndsWith(difference.keyPath, u"\\InprocServer32")) {
    return SameFile(*found, *expected);
  }
  return !expected->empty() && expected->front() == L'{' && SameName(*found, *expected);
}

// The file a scope is checked against: the one given with --dll, else the scope's own
// InprocServer32, so that each registration is judged by the DLL it names.
const std::wstring& CheckedDll(const DoctorContext& context, const ClassRegistration& registration) {
  return context.dllGiven || registration.server.empty() ? context.dll : registration.server;
}

// The one problem when the class is not where 64-bit Explorer looks.
void ReportUnregistered(const DoctorContext& context, RegistryReader& reader, Report& report) {
  const std::wstring dll = Quoted(context.dll);
  for (const RegKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    const std::wstring key = kClassesKey + (L"WOW6432Node\\CLSID\\" + context.clsid);
    if (!reader.KeyExists(root, key)) continue;
    report.Problem(L"registration",
                   L"the class is registered for 32-bit programs only (" +
                       std::wstring(root == kHkeyLocalMachine ? L"HKLM\\" : L"HKCU\\") + key +
                       L"), which 64-bit Explorer does not read",
                   L"%SystemRoot%\\System32\\regsvr32.exe " + dll +
                       L" (the 64-bit regsvr32, as administrator), then restart Explorer");
    return;
  }
  report.Problem(L"registration",
                 L"the class " + context.clsid + L" is registered neither machine-wide nor for this user",
                 L"regsvr32 " + dll + L" (every user, as administrator) or regsvr32 /n /i:user " + dll +
                     L" (this user), then restart Explorer");
}

// One scope's walk: a difference the shell would act on is a problem; one the shell accepts, one
// the approval check judges, and every one of a stale registration already reported (`judged`)
// is listed as a note.
void CheckScope(const DoctorContext& context, const Scope& scope, bool judged,
                std::vector<RegistryDifference>& reported, Report& report) {
  const ClassRegistration& registration = scope.perUser ? context.user : context.machine;
  const std::wstring& dll = judged ? context.dll : CheckedDll(context, registration);
  if (registration.fault && !judged && !SameFile(dll, context.dll)) {
    report.Note(scope.check, L"it names " + registration.server + L", which " + *registration.fault +
                                 L"; Explorer loads the other registration, which hides it");
  }
  const std::wstring fix =
      scope.fix + Quoted(dll) + (scope.perUser ? L"" : L" (as administrator)") + L", then restart Explorer";
  std::vector<RegistryDifference> differences;
  const HRESULT hr = CheckScripts(context, dll, scope, differences);
  if (FAILED(hr)) report.Problem(scope.check, L"cannot be checked: " + StatusText(hr), fix);
  std::size_t problems = 0;
  for (const RegistryDifference& difference : differences) {
    const auto same = [&](const RegistryDifference& r) { return SameDifference(r, difference); };
    if (std::any_of(reported.begin(), reported.end(), same)) continue;
    reported.push_back(difference);
    const std::wstring text = DescribeDifference(scope, difference);
    if (judged) {
      report.Note(scope.check, text + L" (part of the stale registration reported above)");
    } else if (UnderApproved(difference)) {
      report.Note(scope.check, text + L" (the approval check below judges the approval)");
    } else if (ComAccepts(difference)) {
      report.Note(scope.check, text + L", which COM and Explorer accept as the same");
    } else {
      report.Problem(scope.check, text, fix);
      ++problems;
    }
  }
  if (FAILED(hr) || judged) return;
  if (differences.empty()) {
    report.Ok(scope.check, L"every key and value of the DLL's two scripts is in place, for 64-bit programs");
  } else if (problems == 0) {
    report.Ok(scope.check, L"in place as Explorer reads it, for 64-bit programs (the differences are listed above)");
  }
}

}  // namespace

void CheckRegistration(const DoctorContext& context, Report& report) {
  RegistryReader reader;
  bool registered[2] = {};
  for (std::size_t i = 0; i < 2; ++i) {
    registered[i] = reader.KeyExists(kScopes[i].classesRoot, kClassesKey + std::wstring(L"CLSID\\") + context.clsid);
  }
  if (!registered[0] && !registered[1]) {
    ReportUnregistered(context, reader, report);
    return;
  }
  if (!context.dllReadable) {
    report.Note(L"registration", L"not checked: the DLL's registry scripts cannot be read from its file");
    return;
  }
  std::vector<RegistryDifference> reported;  // the HKLM block of both scopes is the same
  for (std::size_t i = 0; i < 2; ++i) {
    const Scope& scope = kScopes[i];
    if (!registered[i]) {
      report.Note(scope.check, L"none (the class is registered the other way)");
    } else {
      CheckScope(context, scope, scope.perUser && context.staleUser, reported, report);
    }
  }
}

}  // namespace torvo::doctor
