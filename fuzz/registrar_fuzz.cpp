// Arbitrary script text through the expansion and both passes of the walk, machine-wide and per
// user, on the in-memory registry. Besides what the sanitizers report, a walk that leaves a key
// handle open or releases a predefined root key is a failure.
#include <cstddef>
#include <cstdint>
#include <string>

#include "registrar/register_mode.h"
#include "registrar/script_walker.h"
#include "registrar/substitution_map.h"
#include "tests/fakes/memory_registry.h"

namespace {

using torvo::fakes::MemoryRegistry;

torvo::SubstitutionMap Variables() {
  torvo::SubstitutionMap variables;
  variables.Add(u"APPID", u"{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}");
  variables.Add(u"Module", u"C:\\Ann''s Tools\\TorvoShellMenu.dll");
  variables.Add(u"Module_Raw", u"C:\\Ann''s Tools\\TorvoShellMenu.dll");
  variables.Add(u"Odd", u"%HKCR{'");
  return variables;
}

// Keys of other programs the scripts may meet, and places where writing is refused.
void FillRegistry(MemoryRegistry& registry) {
  registry.AddString(torvo::kHkeyClassesRoot, u"CLSID\\{Foreign}\\InprocServer32", u"", u"other.dll");
  registry.AddString(torvo::kHkeyClassesRoot, u"AppID\\Other", u"AppID", u"x");
  registry.AddKey(torvo::kHkeyCurrentUser, u"Software\\Classes\\*\\ShellEx");
  registry.AddKey(torvo::kHkeyLocalMachine, u"Software\\Locked");
  registry.DenyWrites(torvo::kHkeyLocalMachine, u"Software\\Locked");
  registry.DenyAccess(torvo::kHkeyUsers, u"");
  registry.FailSetValue(torvo::kHkeyCurrentConfig, u"Broken", 1234);
}

void CheckHandles(const MemoryRegistry& registry) {
  if (registry.OpenHandles() != 0 || registry.predefinedCloses != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const torvo::SubstitutionMap variables = Variables();
  const std::u16string text(data, data + size);
  for (const bool perUser : {false, true}) {
    torvo::g_registerPerUser = perUser;
    MemoryRegistry registry;
    FillRegistry(registry);
    torvo::CRegScriptParser parser(variables, registry);
    torvo::ApplyScript(parser, text.c_str(), true);
    CheckHandles(registry);
    torvo::ApplyScript(parser, text.c_str(), false);
    CheckHandles(registry);
  }
  torvo::g_registerPerUser = false;
  return 0;
}
