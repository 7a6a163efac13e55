#include "registrar/registry_resource.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "registrar/reg_object.h"
#include "tests/fakes/case_name.h"
#include "tests/fakes/fake_script_source.h"
#include "tests/fakes/memory_registry.h"
#include "tests/fakes/registry_scripts.h"
#include "tests/unit/registrar/registrar_test_support.h"

namespace torvo {
namespace {

using fakes::FakeScriptSource;
using fakes::MemoryRegistry;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The module object: adds APPID to every script, or fails.
class FakeModule : public RegistrarModule {
 public:
  HResult AddCommonSubstitutions(IRegistrarBase& registrar) override {
    ++calls;
    if (Failed(failure)) return failure;
    return registrar.AddSubstitution(u"APPID", u"{common}");
  }

  HResult failure = kOk;
  int calls = 0;
};

// Writes every variable the module level supplies into HKCU\Vars.
constexpr char kVariablesScript[] =
    "HKCU\r\n{\r\n\tVars\r\n\t{\r\n"
    "\t\tval AppId = s '%APPID%'\r\n\t\tval Module = s '%Module%'\r\n\t\tval Raw = s '%MODULE_RAW%'\r\n"
    "\t}\r\n}\r\n";
constexpr std::uint16_t kVariablesResource = 7;

class RegistryResource : public ::testing::Test {
 protected:
  RegistryResource() {
    source.registryResources[kVariablesResource] = kVariablesScript;
    source.registryResources[101] = std::string(fakes::kAppIdScript);
    source.registryResources[102] = std::string(fakes::kHandlerScript);
  }

  HResult Apply(std::uint16_t number, bool registerFlag, const SubstitutionEntry* entries = nullptr) {
    return ApplyRegistryResource(module, source, registry, number, registerFlag, entries);
  }
  std::u16string Var(const char16_t* name) {
    return registry.StringValue(kHkeyCurrentUser, u"Vars", name).value_or(u"(missing)");
  }

  void TearDown() override { EXPECT_EQ(registry.OpenHandles(), 0u); }

  FakeModule module;
  FakeScriptSource source;
  MemoryRegistry registry;
};

TEST_F(RegistryResource, DllModuleValueIsThePathAsItIs) {
  source.modulePath = u"C:\\Apps\\TorvoShellMenu.dll";
  ASSERT_EQ(Apply(kVariablesResource, true), kOk);
  EXPECT_EQ(Var(u"AppId"), u"{common}");
  EXPECT_EQ(Var(u"Module"), u"C:\\Apps\\TorvoShellMenu.dll");
  EXPECT_EQ(Var(u"Raw"), u"C:\\Apps\\TorvoShellMenu.dll");
  EXPECT_THAT(source.loadedPaths, ElementsAre(u"C:\\Apps\\TorvoShellMenu.dll"));
}

TEST_F(RegistryResource, RunningExecutableModuleValueIsQuotedButRawIsNot) {
  source.modulePath = u"C:\\Apps\\host.exe";
  source.runningExecutable = true;
  ASSERT_EQ(Apply(kVariablesResource, true), kOk);
  EXPECT_EQ(Var(u"Module"), u"\"C:\\Apps\\host.exe\"");
  EXPECT_EQ(Var(u"Raw"), u"C:\\Apps\\host.exe");
}

TEST_F(RegistryResource, ApostropheInThePathIsWrittenOnce) {
  source.modulePath = u"C:\\Ann's Tools\\O''Brien\\TorvoShellMenu.dll";
  ASSERT_EQ(Apply(102, true), kOk);
  EXPECT_EQ(
      registry.StringValue(kHkeyClassesRoot, std::u16string(u"CLSID\\") + fakes::kClsid + u"\\InprocServer32", u""),
      u"C:\\Ann's Tools\\O''Brien\\TorvoShellMenu.dll");
  // The file is mapped from the path as it is, not from its escaped form.
  EXPECT_THAT(source.loadedPaths, ElementsAre(u"C:\\Ann's Tools\\O''Brien\\TorvoShellMenu.dll"));
}

TEST_F(RegistryResource, CallerEntriesComeFirstAndEntriesWithoutValueAreSkipped) {
  const SubstitutionEntry entries[] = {
      {u"Unset", nullptr}, {u"APPID", u"{caller}"}, {u"module", u"mine"}, {nullptr, u"after the end"}};
  ASSERT_EQ(Apply(kVariablesResource, true, entries), kOk);
  EXPECT_EQ(Var(u"AppId"), u"{caller}");
  EXPECT_EQ(Var(u"Module"), u"mine");
  EXPECT_EQ(Var(u"Raw"), source.modulePath);
}

TEST_F(RegistryResource, SkippedEntryIsMissingForTheScript) {
  source.registryResources[8] = "HKCU { Vars = s '%Unset%' }";
  const SubstitutionEntry entries[] = {{u"Unset", nullptr}, {nullptr, nullptr}};
  EXPECT_EQ(Apply(8, true, entries), kDispException);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

TEST_F(RegistryResource, EntriesEndingAtOnceGiveOnlyTheCommonAndStandardVariables) {
  const SubstitutionEntry entries[] = {{nullptr, nullptr}};
  ASSERT_EQ(Apply(kVariablesResource, true, entries), kOk);
  EXPECT_EQ(Var(u"AppId"), u"{common}");
}

TEST_F(RegistryResource, ModuleFailureIsReturnedBeforeThePathIsRead) {
  module.failure = kUnexpected;
  source.moduleFileNameError = kErrorAccessDenied;
  EXPECT_EQ(Apply(kVariablesResource, true), kUnexpected);
  EXPECT_THAT(source.loadedPaths, IsEmpty());
}

struct PathCase {
  const char* name;
  std::size_t length;
  HResult status;
};

class ModulePathLength : public RegistryResource, public ::testing::WithParamInterface<PathCase> {};

TEST_P(ModulePathLength, LongestPathFitsAndLongerOnesFailBeforeAnythingIsLoaded) {
  source.modulePath = u"C:\\" + std::u16string(GetParam().length - 9, u'a') + u"\\x.dll";
  ASSERT_EQ(source.modulePath.size(), GetParam().length);
  EXPECT_EQ(Apply(kVariablesResource, true), GetParam().status);
  if (Failed(GetParam().status)) {
    EXPECT_THAT(source.loadedPaths, IsEmpty());
    EXPECT_THAT(registry.Dump(), IsEmpty());
  } else {
    EXPECT_EQ(Var(u"Raw"), source.modulePath);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ModulePathLength,
                         ::testing::Values(PathCase{"Units259", 259, kOk},
                                           PathCase{"Units260", 260, MakeStatus(0x8007007A)},
                                           PathCase{"Units400", 400, MakeStatus(0x8007007A)}),
                         fakes::CaseName());

struct SourceFailureCase {
  const char* name;
  void (*inject)(FakeScriptSource&);
  std::uint16_t resource;
  HResult status;
};

class SourceFailures : public RegistryResource, public ::testing::WithParamInterface<SourceFailureCase> {};

TEST_P(SourceFailures, AreReportedInTheirLastErrorFormAndChangeNothing) {
  GetParam().inject(source);
  EXPECT_EQ(Apply(GetParam().resource, true), GetParam().status);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SourceFailures,
    ::testing::Values(
        SourceFailureCase{"MissingResource", [](FakeScriptSource&) {}, 55, MakeStatus(0x80070716)},
        SourceFailureCase{"ModulePathUnavailable", [](FakeScriptSource& s) { s.moduleFileNameError = 126; },
                          kVariablesResource, MakeStatus(0x8007007E)},
        SourceFailureCase{"ModuleFileCannotBeMapped", [](FakeScriptSource& s) { s.mapError = kErrorFileNotFound; },
                          kVariablesResource, MakeStatus(0x80070002)},
        SourceFailureCase{"ConversionFails", [](FakeScriptSource& s) { s.conversionError = 1113; }, kVariablesResource,
                          MakeStatus(0x80070459)},
        SourceFailureCase{"EmptyResourceCannotBeConverted", [](FakeScriptSource& s) { s.registryResources[9] = ""; }, 9,
                          MakeStatus(0x80070057)}),
    fakes::CaseName());

TEST_F(RegistryResource, PerUserRemovalTakesTheEntriesFromWhereRegistrationPutThem) {
  testing_support::PerUserMode perUser;
  ASSERT_EQ(Apply(101, true), kOk);
  EXPECT_EQ(registry.StringValue(kHkeyCurrentUser, u"Software\\Classes\\AppID\\{common}", u""), u"TorvoShellMenu");
  EXPECT_FALSE(registry.KeyExists(kHkeyClassesRoot, u"AppID"));
  ASSERT_EQ(Apply(101, false), kOk);
  EXPECT_THAT(registry.Dump(),
              ElementsAre("HKCU\\Software", "HKCU\\Software\\Classes", "HKCU\\Software\\Classes\\AppID"));
}

TEST(RegObject, IsNoCountedComObject) {
  FakeScriptSource source;
  MemoryRegistry registry;
  CRegObject registrar(source, registry);
  void* object = &registrar;
  EXPECT_EQ(registrar.QueryInterface(nullptr, &object), kNotImplemented);
  EXPECT_EQ(object, &registrar);
  EXPECT_EQ(registrar.AddRef(), 1u);
  EXPECT_EQ(registrar.AddRef(), 1u);
  EXPECT_EQ(registrar.Release(), 0u);
}

TEST(RegObject, AddSubstitutionRefusesNullAndKeepsDuplicatesInOrder) {
  FakeScriptSource source;
  MemoryRegistry registry;
  CRegObject registrar(source, registry);
  EXPECT_EQ(registrar.AddSubstitution(nullptr, u"v"), kInvalidArg);
  EXPECT_EQ(registrar.AddSubstitution(u"n", nullptr), kInvalidArg);
  EXPECT_EQ(registrar.AddSubstitution(u"Name", u"first"), kOk);
  EXPECT_EQ(registrar.AddSubstitution(u"NAME", u"second"), kOk);
  EXPECT_EQ(registrar.Substitutions().Count(), 2u);
  EXPECT_EQ(std::u16string(FindSubstitution(registrar.Substitutions(), u"name")), u"first");
  EXPECT_EQ(registrar.ClearSubstitutions(), kOk);
  EXPECT_EQ(registrar.Substitutions().Count(), 0u);
  EXPECT_EQ(FindSubstitution(registrar.Substitutions(), u"name"), nullptr);
}

TEST(RegObject, CopiesTheStringsItIsGiven) {
  FakeScriptSource source;
  MemoryRegistry registry;
  CRegObject registrar(source, registry);
  std::u16string value = u"before";
  ASSERT_EQ(registrar.AddSubstitution(u"V", value.c_str()), kOk);
  value = u"changed";
  EXPECT_EQ(std::u16string(FindSubstitution(registrar.Substitutions(), u"V")), u"before");
}

}  // namespace
}  // namespace torvo
