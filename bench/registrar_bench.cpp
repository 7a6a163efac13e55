// The registry script engine on the in-memory registry. Compare as ratios within one run:
// - the handler script (102) expanded, parsed and applied in both passes, against expanding and
//   tokenizing it alone;
// - a generated 1 MB script against a 100 KB one, both passes: linear cost gives about 10.
#include <benchmark/benchmark.h>

#include <string>

#include "registrar/script_expansion.h"
#include "registrar/script_walker.h"
#include "registrar/substitution_map.h"
#include "tests/fakes/memory_registry.h"
#include "tests/fakes/registry_scripts.h"

namespace torvo {
namespace {

std::u16string Utf16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

SubstitutionMap ModuleVariables() {
  SubstitutionMap variables;
  variables.Add(u"APPID", fakes::kAppId);
  variables.Add(u"Module", u"C:\\Program Files\\ZebTorvo\\TorvoShellMenu.dll");
  variables.Add(u"Module_Raw", u"C:\\Program Files\\ZebTorvo\\TorvoShellMenu.dll");
  return variables;
}

void ApplyBothPasses(benchmark::State& state, const std::u16string& script) {
  const SubstitutionMap variables = ModuleVariables();
  fakes::MemoryRegistry registry;
  CRegScriptParser parser(variables, registry);
  for (auto _ : state) {
    if (Failed(ApplyScript(parser, script.c_str(), WalkPass::kRegister)) ||
        Failed(ApplyScript(parser, script.c_str(), WalkPass::kUnregister))) {
      state.SkipWithError("the script failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * script.size() * 2));
}

void BM_HandlerScriptBothPasses(benchmark::State& state) { ApplyBothPasses(state, Utf16(fakes::kHandlerScript)); }
BENCHMARK(BM_HandlerScriptBothPasses);

// What any application of the script must do twice: expand it and read every token.
void BM_HandlerScriptBaselineExpandAndTokenize(benchmark::State& state) {
  const SubstitutionMap variables = ModuleVariables();
  fakes::MemoryRegistry registry;
  CRegScriptParser parser(variables, registry);
  const std::u16string script = Utf16(fakes::kHandlerScript);
  TokenBuffer token{};
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass) {
      std::u16string expanded;
      ExpandScript(parser, script.c_str(), &expanded);
      parser.cursor = expanded.c_str();
      while (Succeeded(ReadToken(parser, token))) benchmark::DoNotOptimize(token[0]);
    }
  }
}
BENCHMARK(BM_HandlerScriptBaselineExpandAndTokenize);

// Groups of 100 keys, each with a default value and a named DWORD, until the text has `bytes`.
std::u16string GeneratedScript(std::size_t bytes) {
  std::string text = "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n";
  for (int group = 0; text.size() < bytes; ++group) {
    text += "\t\tGroup" + std::to_string(group) + "\r\n\t\t{\r\n";
    for (int key = 0; key < 100; ++key) {
      const std::string n = std::to_string(key);
      text += "\t\t\tKey" + n + " = s 'value " + n + " of %Module%'\r\n\t\t\t{\r\n\t\t\t\tval Count = d " + n +
              "\r\n\t\t\t}\r\n";
    }
    text += "\t\t}\r\n";
  }
  text += "\t}\r\n}\r\n";
  return Utf16(text);
}

void BM_GeneratedScriptBothPasses(benchmark::State& state) {
  ApplyBothPasses(state, GeneratedScript(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_GeneratedScriptBothPasses)->Arg(100 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace torvo
