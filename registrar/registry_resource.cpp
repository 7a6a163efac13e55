#include "registrar/registry_resource.h"

#include <new>

#include "common/text.h"
#include "registrar/reg_object.h"

namespace torvo {

namespace {

// The longest "Module" value with its terminator: the doubled path (at most 519 units) in quotes.
constexpr std::size_t kQuotedModuleChars = 523;

void AddCallerEntries(CRegObject& registrar, const SubstitutionEntry* entries) {
  if (entries == nullptr) return;
  for (const SubstitutionEntry* entry = entries; entry->szName != nullptr; ++entry) {
    if (entry->szValue == nullptr) continue;
    registrar.AddSubstitution(entry->szName, entry->szValue);  // a variable that is missing fails the script
  }
}

// The module's full path into `path` (kMaxPath units): its length, or the failure.
HResult ReadModulePath(ScriptSource& source, char16_t (&path)[kMaxPath], std::uint32_t& length) {
  length = source.ModuleFileName(path, kMaxPath);
  if (length == 0) return HresultFromLastError(source.LastError());
  if (length >= kMaxPath) return HresultFromWin32(kErrorInsufficientBuffer);
  path[length] = u'\0';
  return kOk;
}

HResult AddModuleVariables(CRegObject& registrar, ScriptSource& source, std::u16string_view path) {
  const std::u16string raw = EscapeSingleQuotes(path);
  std::u16string module = raw;
  if (source.IsRunningExecutable()) {
    if (raw.size() + 3 > kQuotedModuleChars) return kFail;
    module = u'"' + raw + u'"';
  }
  if (Failed(registrar.AddSubstitution(u"Module", module.c_str()))) return kOutOfMemory;
  if (Failed(registrar.AddSubstitution(u"Module_Raw", raw.c_str()))) return kOutOfMemory;
  return kOk;
}

// Fills a fresh registrar with the variables of the script and runs `walk` (registrar, module path).
template <class Walk>
HResult WithModuleRegistrar(RegistrarModule& module, ScriptSource& source, Registry& registry,
                            const SubstitutionEntry* entries, Walk walk) {
  try {
    CRegObject registrar(source, registry);
    AddCallerEntries(registrar, entries);
    TORVO_RETURN_IF_FAILED(module.AddCommonSubstitutions(registrar));
    char16_t path[kMaxPath] = {};
    std::uint32_t length = 0;
    TORVO_RETURN_IF_FAILED(ReadModulePath(source, path, length));
    TORVO_RETURN_IF_FAILED(AddModuleVariables(registrar, source, std::u16string_view(path, length)));
    return walk(registrar, path);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace

std::u16string EscapeSingleQuotes(std::u16string_view text) {
  std::u16string escaped;
  escaped.reserve(text.size() * 2);
  for (const char16_t unit : text) {
    escaped += unit;
    if (unit == u'\'') escaped += u'\'';
  }
  return escaped;
}

HResult ApplyRegistryResource(RegistrarModule& module, ScriptSource& source, Registry& registry,
                              std::uint16_t resourceNumber, bool registerFlag, const SubstitutionEntry* entries) {
  return WithModuleRegistrar(module, source, registry, entries, [&](CRegObject& registrar, const char16_t* path) {
    return registrar.ApplyResourceScript(path, resourceNumber, u"REGISTRY", registerFlag);
  });
}

HResult CheckRegistryResource(RegistrarModule& module, ScriptSource& source, Registry& registry,
                              std::uint16_t resourceNumber, const SubstitutionEntry* entries,
                              std::vector<RegistryDifference>& differences) {
  return WithModuleRegistrar(module, source, registry, entries, [&](CRegObject& registrar, const char16_t* path) {
    return registrar.CheckResourceScript(path, resourceNumber, u"REGISTRY", differences);
  });
}

}  // namespace torvo
