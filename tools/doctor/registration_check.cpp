// The registration, machine-wide and per user: the DLL's own two scripts walked in the check pass
// with the substitutions the DLL's registration gives them.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/wide.h"
#include "registrar/register_mode.h"
#include "registrar/registry_resource.h"
#include "resources/app_id.h"
#include "resources/resource_ids.h"
#include "tools/doctor/doctor_checks.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/dll_script_source.h"
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

// Both scripts in the check walk; the first failure, with what was found until then.
HRESULT CheckScripts(const DoctorContext& context, const Scope& scope, std::vector<RegistryDifference>& differences) {
  const RegisterMode mode(scope.perUser);
  RegistryReader reader;
  MachineClassesView registry(reader.Adapter());
  DllScriptSource source(context.dll);
  DoctorModule module;
  const SubstitutionEntry appId[] = {{u"APPID", win32::AsUtf16(kAppId)}, {nullptr, nullptr}};
  const HRESULT hr = CheckRegistryResource(module, source, registry, IDR_TORVO_APPID, appId, differences);
  if (FAILED(hr)) return hr;
  return CheckRegistryResource(module, source, registry, IDR_TORVO_HANDLER, nullptr, differences);
}

std::wstring DescribeValue(const EncodedValue& value) {
  switch (value.type) {
    case REG_SZ:
    case REG_MULTI_SZ: {
      std::wstring units(value.bytes.size() / sizeof(wchar_t), L'\0');
      if (!units.empty()) std::memcpy(units.data(), value.bytes.data(), units.size() * sizeof(wchar_t));
      while (!units.empty() && units.back() == L'\0') units.pop_back();
      std::replace(units.begin(), units.end(), L'\0', L'|');
      return (value.type == REG_SZ ? L"REG_SZ \"" : L"REG_MULTI_SZ \"") + units + L"\"";
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

}  // namespace

void CheckRegistration(const DoctorContext& context, Report& report) {
  RegistryReader reader;
  bool registered[2] = {};
  for (std::size_t i = 0; i < 2; ++i) {
    registered[i] = reader.KeyExists(kScopes[i].classesRoot, kClassesKey + std::wstring(L"CLSID\\") + context.clsid);
  }
  const std::wstring dll = Quoted(context.dll);
  if (!registered[0] && !registered[1]) {
    report.Problem(L"registration",
                   L"the class " + context.clsid + L" is registered neither machine-wide nor for this user",
                   L"regsvr32 " + dll + L" (every user, as administrator) or regsvr32 /n /i:user " + dll +
                       L" (this user), then restart Explorer");
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
      continue;
    }
    const std::wstring fix =
        scope.fix + dll + (scope.perUser ? L"" : L" (as administrator)") + L", then restart Explorer";
    std::vector<RegistryDifference> differences;
    const HRESULT hr = CheckScripts(context, scope, differences);
    if (FAILED(hr)) report.Problem(scope.check, L"cannot be checked: " + StatusText(hr), fix);
    std::size_t fresh = 0;
    for (const RegistryDifference& difference : differences) {
      const auto same = [&](const RegistryDifference& r) { return SameDifference(r, difference); };
      if (std::any_of(reported.begin(), reported.end(), same)) continue;
      reported.push_back(difference);
      report.Problem(scope.check, DescribeDifference(scope, difference), fix);
      ++fresh;
    }
    if (FAILED(hr)) continue;
    if (differences.empty())
      report.Ok(scope.check, L"every key and value of the DLL's two scripts is in place");
    else if (fresh == 0)
      report.Note(scope.check, L"differs only where reported above");
  }
}

}  // namespace torvo::doctor
