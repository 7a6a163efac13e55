// The registration, machine-wide and per user: the DLL's own two scripts walked in the check pass
// with the substitutions the DLL's registration gives them.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/wide.h"
#include "registrar/register_mode.h"
#include "registrar/registry_resource.h"
#include "resources/app_id.h"
#include "resources/resource_ids.h"
#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"
#include "tools/doctor/reads/dll_script_source.h"
#include "tools/doctor/reads/file_identity.h"
#include "tools/doctor/reads/machine_classes_view.h"
#include "tools/doctor/reads/registry_reads.h"
#include "tools/doctor/repair/remedies.h"

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
  RegKey classesRoot;      // where this scope's class registrations live
  const char16_t* placed;  // how the walk names this scope's classes root in a key path
};

constexpr Scope kScopes[] = {
    {L"registration machine-wide", false, kHkeyLocalMachine, u"HKCR\\"},
    {L"registration per user", true, kHkeyCurrentUser, u"HKCU\\Software\\Classes\\"},
};

// One scope's walk.
struct Walk {
  bool registered = false;  // its classes hold the class key
  HRESULT status = S_OK;
  std::vector<RegistryDifference> differences;
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

// The key path below the scope's classes root; nothing for a key outside it (the HKLM block).
std::optional<std::wstring> BelowClasses(const Scope& scope, const std::u16string& keyPath) {
  const std::u16string_view placed(scope.placed);
  if (keyPath.compare(0, placed.size(), placed) != 0) return std::nullopt;
  return Wide(std::u16string_view(keyPath).substr(placed.size()));
}

// Whether `key` is `outer` or lies below it.
bool Within(const std::wstring& key, const std::wstring& outer) {
  return SameName(key.substr(0, outer.size()), outer) && (key.size() == outer.size() || key[outer.size()] == L'\\');
}

// Whether Explorer and COM read the place of the difference when they load the handler: the
// class's InprocServer32 (the server's path and ThreadingModel) and the handler keys that name
// the class, with the keys above them where one is missing. The class key's description, the
// ProgIDs and the AppID serve other callers; the HKLM block (the approval) counts as read.
bool ReadToLoadTheHandler(const DoctorContext& context, const Scope& scope, const RegistryDifference& difference) {
  const std::optional<std::wstring> key = BelowClasses(scope, difference.keyPath);
  if (!key) return true;
  const bool missingKey = difference.kind == DifferenceKind::kMissingKey;
  const auto read = [&](const std::wstring& place) {
    return SameName(*key, place) || (missingKey && Within(place, *key));
  };
  if (read(L"CLSID\\" + context.clsid + L"\\InprocServer32")) return true;
  return std::any_of(std::begin(kHandlerKinds), std::end(kHandlerKinds),
                     [&](const HandlerKind& kind) { return read(HandlerKey(kind)); });
}

// Whether the view Windows merges reads `key` from the other scope's classes, where that scope's
// walk found it in place (and, for a missing key, everything below it): the shell and COM then do
// not read this scope's copy, so its difference does not matter to them. A stale per-user
// registration serves nothing: it is to be removed.
bool OtherScopeServes(const DoctorContext& context, const Scope& scope, const RegistryDifference& difference,
                      const Walk& other) {
  const std::optional<std::wstring> key = BelowClasses(scope, difference.keyPath);
  if (!key || context.staleUser || !other.registered || FAILED(other.status)) return false;
  const Scope& otherScope = kScopes[scope.perUser ? 0 : 1];
  if (RegistryReader().MergedClassesRoot(*key) != otherScope.classesRoot) return false;
  return std::none_of(other.differences.begin(), other.differences.end(), [&](const RegistryDifference& found) {
    const std::optional<std::wstring> otherKey = BelowClasses(otherScope, found.keyPath);
    if (!otherKey) return false;
    if (difference.kind != DifferenceKind::kMissingKey) return SameName(*otherKey, *key);
    return Within(*otherKey, *key);
  });
}

// What to do about a problem of a scope. The user's own copy of a key the scripts own (one their
// removal deletes), where it breaks a machine-wide registration, goes, so that the machine's key
// shows: never a key above it, which other programs' keys share. Without a machine-wide
// registration, or for a key the user lacks, the registration is written again.
Remedy ScopeRemedy(const DoctorContext& context, const Scope& scope, const std::wstring& dll,
                   const RegistryDifference* difference) {
  if (!scope.perUser) return RegisterAgain(context, dll, false);
  if (!context.machine.present && !context.installer) return RegisterAgain(context, dll, true);
  const std::optional<std::wstring> owned = difference ? BelowClasses(scope, difference->ownedKeyPath) : std::nullopt;
  if (owned && RegistryReader().KeyExists(kHkeyCurrentUser, kClassesKey + *owned)) return RemoveUserKey(*owned);
  return RegisterAgain(context, context.machine.present ? context.machine.server : dll, false);
}

// The one problem when the class is not where 64-bit Explorer looks.
void ReportUnregistered(const DoctorContext& context, RegistryReader& reader, Report& report) {
  const std::wstring dll = Quoted(context.dll);
  const auto remedy = [&](std::wstring text) {
    return context.dllReadable ? RegisterForEveryUser(context, context.dll, text) : Remedy{std::move(text), {}};
  };
  for (const RegKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    const std::wstring key = kClassesKey + (L"WOW6432Node\\CLSID\\" + context.clsid);
    if (!reader.KeyExists(root, key)) continue;
    report.Problem(L"registration",
                   L"the class is registered for 32-bit programs only (" +
                       std::wstring(root == kHkeyLocalMachine ? L"HKLM\\" : L"HKCU\\") + key +
                       L"), which 64-bit Explorer does not read",
                   remedy(L"%SystemRoot%\\System32\\regsvr32.exe " + dll +
                          L" (the 64-bit regsvr32, as administrator), then restart Explorer"));
    return;
  }
  report.Problem(L"registration",
                 L"the class " + context.clsid + L" is registered neither machine-wide nor for this user",
                 remedy(L"regsvr32 " + dll + L" (every user, as administrator) or regsvr32 /n /i:user " + dll +
                        L" (this user), then restart Explorer"));
}

// One scope's walk reported: a difference the shell would act on is a problem; one the shell
// accepts, one the approval check judges, one the other scope's key hides where that key is in
// place, one in what the shell and COM do not read to load the handler, and every one of a stale
// registration already reported (`judged`) is listed as a note.
void ReportScope(const DoctorContext& context, const Scope& scope, const Walk& walk, const Walk& other,
                 std::vector<RegistryDifference>& reported, Report& report) {
  const bool judged = scope.perUser && context.staleUser;
  const ClassRegistration& registration = scope.perUser ? context.user : context.machine;
  const std::wstring& dll = judged ? context.dll : CheckedDll(context, registration);
  if (registration.fault && !judged && !SameFile(dll, context.dll)) {
    report.Note(scope.check, L"it names " + registration.server + L", which " + *registration.fault +
                                 L"; Explorer loads the other registration, which hides it");
  }
  if (FAILED(walk.status)) {
    report.Problem(scope.check, L"cannot be checked: " + StatusText(walk.status),
                   ScopeRemedy(context, scope, dll, nullptr));
  }
  const std::wstring otherCopy = scope.perUser ? L"the machine-wide key" : L"this user's key instead";
  std::size_t problems = 0;
  for (const RegistryDifference& difference : walk.differences) {
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
    } else if (OtherScopeServes(context, scope, difference, other)) {
      report.Note(scope.check, text + L" (Explorer and COM read " + otherCopy + L", which is in place)");
    } else if (!ReadToLoadTheHandler(context, scope, difference)) {
      report.Note(scope.check, text + L" (not read when Explorer and COM load the handler)");
    } else {
      report.Problem(scope.check, text, ScopeRemedy(context, scope, dll, &difference));
      ++problems;
    }
  }
  if (FAILED(walk.status) || judged) return;
  if (walk.differences.empty()) {
    report.Ok(scope.check, L"every key and value of the DLL's two scripts is in place, for 64-bit programs");
  } else if (problems == 0) {
    report.Ok(scope.check, L"in place as Explorer reads it, for 64-bit programs (the differences are listed above)");
  }
}

}  // namespace

void CheckRegistration(DoctorContext& context, const NamedPaths&, Report& report) {
  RegistryReader reader;
  Walk walks[2];
  for (std::size_t i = 0; i < 2; ++i) {
    const std::wstring key = kClassesKey + std::wstring(L"CLSID\\") + context.clsid;
    walks[i].registered = reader.KeyExists(kScopes[i].classesRoot, key);
  }
  if (!walks[0].registered && !walks[1].registered) {
    ReportUnregistered(context, reader, report);
    return;
  }
  if (!context.dllReadable) {
    report.Note(L"registration", L"not checked: the DLL's registry scripts cannot be read from its file");
    return;
  }
  for (std::size_t i = 0; i < 2; ++i) {
    const Scope& scope = kScopes[i];
    if (!walks[i].registered) continue;
    const bool judged = scope.perUser && context.staleUser;
    const std::wstring& dll =
        judged ? context.dll : CheckedDll(context, scope.perUser ? context.user : context.machine);
    walks[i].status = CheckScripts(context, dll, scope, walks[i].differences);
  }
  std::vector<RegistryDifference> reported;  // the HKLM block of both scopes is the same
  for (std::size_t i = 0; i < 2; ++i) {
    if (!walks[i].registered) {
      report.Note(kScopes[i].check, L"none (the class is registered the other way)");
    } else {
      ReportScope(context, kScopes[i], walks[i], walks[1 - i], reported, report);
    }
  }
}

}  // namespace torvo::doctor
