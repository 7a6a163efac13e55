// Arbitrary script text through the expansion and the three passes of the walk, machine-wide and
// per user, on the in-memory registry. Besides what the sanitizers report, each call is a failure when
// - it leaves a key handle open or releases a predefined root key;
// - a key that was there before it and lies outside every key the script names is gone after it;
// - it is refused for its syntax (DISP_E_EXCEPTION) and the registry is not as it was;
// - it is the check pass and asked to change anything.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "registrar/register_mode.h"
#include "registrar/script_expansion.h"
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
  variables.Add(u"Empty", u"");
  return variables;
}

// Keys of other programs the scripts may meet, and places where writing is refused.
void FillRegistry(MemoryRegistry& registry) {
  registry.AddString(torvo::kHkeyClassesRoot, u"CLSID\\{Foreign}\\InprocServer32", u"", u"other.dll");
  registry.AddString(torvo::kHkeyClassesRoot, u"AppID\\Other", u"AppID", u"x");
  registry.AddKey(torvo::kHkeyClassesRoot, u".txt\\OpenWithList");
  registry.AddKey(torvo::kHkeyCurrentUser, u"Software\\Classes\\*\\ShellEx");
  registry.AddKey(torvo::kHkeyCurrentUser, u"Environment");
  registry.AddKey(torvo::kHkeyLocalMachine, u"Software\\Locked");
  registry.AddKey(torvo::kHkeyLocalMachine, u"Hardware\\Description");
  registry.DenyWrites(torvo::kHkeyLocalMachine, u"Software\\Locked");
  registry.DenyAccess(torvo::kHkeyUsers, u"");
  registry.FailSetValue(torvo::kHkeyCurrentConfig, u"Broken", 1234);
}

std::u16string Folded(std::u16string text) {
  for (char16_t& unit : text) unit = torvo::FoldAscii(unit);
  return text;
}

// Every token of the expanded script, folded: a key the script names has one of them as each of
// its names. Empty when the expansion fails.
std::set<std::u16string> ScriptTokens(const torvo::SubstitutionMap& variables, MemoryRegistry& registry,
                                      const std::u16string& text) {
  std::set<std::u16string> tokens;
  torvo::CRegScriptParser parser(variables, registry);
  std::u16string expanded;
  if (torvo::Failed(torvo::ExpandScript(parser, text.c_str(), &expanded))) return tokens;
  parser.cursor = expanded.c_str();
  torvo::TokenBuffer token{};
  while (torvo::Succeeded(torvo::ReadToken(parser, token))) tokens.insert(Folded(token.data()));
  return tokens;
}

// The registry before a call, and its keys that the call must leave: those whose first name
// below the root is no token of the script, so that neither they nor a key above them is named.
struct Before {
  std::vector<std::string> dump;
  std::vector<MemoryRegistry::KeyPath> untouchable;
};

Before Snapshot(const MemoryRegistry& registry, const std::set<std::u16string>& tokens) {
  Before before{registry.Dump(), {}};
  for (MemoryRegistry::KeyPath& key : registry.Keys()) {
    const std::u16string first = key.path.substr(0, key.path.find(u'\\'));
    if (tokens.count(Folded(first)) == 0) before.untouchable.push_back(std::move(key));
  }
  return before;
}

void Check(const MemoryRegistry& registry, const Before& before, torvo::HResult status, bool checkPass,
           int writeRequests) {
  if (registry.OpenHandles() != 0 || registry.predefinedCloses != 0) __builtin_trap();
  if (checkPass && (registry.writeRequests != writeRequests || registry.Dump() != before.dump)) __builtin_trap();
  for (const MemoryRegistry::KeyPath& key : before.untouchable) {
    if (!registry.KeyExists(key.root, key.path)) __builtin_trap();
  }
  if (status == torvo::kDispException && registry.Dump() != before.dump) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const torvo::SubstitutionMap variables = Variables();
  const std::u16string text(data, data + size);
  for (const bool perUser : {false, true}) {
    torvo::g_registerPerUser = perUser;
    MemoryRegistry registry;
    FillRegistry(registry);
    const std::set<std::u16string> tokens = ScriptTokens(variables, registry, text);
    torvo::CRegScriptParser parser(variables, registry);
    for (const torvo::WalkPass pass :
         {torvo::WalkPass::kRegister, torvo::WalkPass::kCheck, torvo::WalkPass::kUnregister}) {
      const Before before = Snapshot(registry, tokens);
      const int writeRequests = registry.writeRequests;
      Check(registry, before, torvo::ApplyScript(parser, text.c_str(), pass), pass == torvo::WalkPass::kCheck,
            writeRequests);
    }
  }
  torvo::g_registerPerUser = false;
  return 0;
}
