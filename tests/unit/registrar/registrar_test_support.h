#pragma once
// Shared by the registrar suites: scripts as UTF-16, a walk on the in-memory registry, and the
// per-user flag set for the length of one test.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "registrar/register_mode.h"
#include "registrar/script_walker.h"
#include "registrar/substitution_map.h"
#include "tests/fakes/memory_registry.h"

namespace torvo::testing_support {

// ASCII text as UTF-16 code units.
inline std::u16string U16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// Sets g_registerPerUser for one test and clears it again.
class PerUserMode {
 public:
  explicit PerUserMode(bool on = true) { g_registerPerUser = on; }
  PerUserMode(const PerUserMode&) = delete;
  PerUserMode& operator=(const PerUserMode&) = delete;
  ~PerUserMode() { g_registerPerUser = false; }
};

// A script applied to the in-memory registry; every test checks that the walk released each
// handle it opened and never released a predefined one.
class WalkOnMemoryRegistry : public ::testing::Test {
 protected:
  HResult Apply(std::string_view script, WalkPass pass) {
    CRegScriptParser parser(variables, registry);
    const std::u16string text = U16(script);
    return ApplyScript(parser, text.c_str(), pass);
  }
  HResult Register(std::string_view script) { return Apply(script, WalkPass::kRegister); }
  HResult Unregister(std::string_view script) { return Apply(script, WalkPass::kUnregister); }
  // The check pass, with what it found in `differences`.
  HResult Check(std::string_view script, std::vector<RegistryDifference>& differences) {
    CRegScriptParser parser(variables, registry);
    const std::u16string text = U16(script);
    const HResult status = ApplyScript(parser, text.c_str(), WalkPass::kCheck);
    differences = parser.differences;
    return status;
  }

  void TearDown() override {
    EXPECT_EQ(registry.OpenHandles(), 0u) << "a key handle was not released";
    EXPECT_EQ(registry.predefinedCloses, 0) << "a predefined root key was released";
  }

  SubstitutionMap variables;
  fakes::MemoryRegistry registry;
};

}  // namespace torvo::testing_support
