#include "registrar/script_walker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/unit/registrar/registrar_test_support.h"

namespace torvo {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using testing_support::WalkOnMemoryRegistry;

constexpr std::int32_t kAccessDenied = MakeStatus(0x80070005);

class Walker : public WalkOnMemoryRegistry {};

TEST_F(Walker, RegisterWritesKeysDefaultValuesAndNamedValues) {
  ASSERT_EQ(Register("HKCU { App = s 'Main' { val Mode = s 'fast' Sub } }"), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAre("HKCU\\App", "HKCU\\App [] = REG_SZ \"Main\"",
                                                    "HKCU\\App [Mode] = REG_SZ \"fast\"", "HKCU\\App\\Sub"));
}

TEST_F(Walker, RegisteringTwiceGivesTheSameRegistryAsOnce) {
  constexpr char kScript[] = "HKCU { App = s 'Main' { ForceRemove Sub = s 'x' { val V = d 7 } NoRemove Kept } }";
  ASSERT_EQ(Register(kScript), kOk);
  const auto once = registry.Dump();
  ASSERT_EQ(Register(kScript), kOk);
  EXPECT_EQ(registry.Dump(), once);
}

TEST_F(Walker, UnregisterRemovesWhatRegisterWrote) {
  constexpr char kScript[] = "HKCU { App = s 'Main' { val Mode = s 'fast' Sub { Deeper = s 'x' } } }";
  ASSERT_EQ(Register(kScript), kOk);
  ASSERT_EQ(Unregister(kScript), kOk);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

TEST_F(Walker, ForceRemoveWipesSubkeysAndValuesNotInTheScript) {
  registry.AddString(kHkeyCurrentUser, u"App\\Foreign\\Deep", u"v", u"old");
  registry.AddString(kHkeyCurrentUser, u"App", u"Stale", u"old");
  ASSERT_EQ(Register("HKCU { ForceRemove App = s 'new' { Own } }"), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAre("HKCU\\App", "HKCU\\App [] = REG_SZ \"new\"", "HKCU\\App\\Own"));
}

TEST_F(Walker, DeleteRemovesTheTreeAndWritesNothing) {
  registry.AddString(kHkeyCurrentUser, u"Old\\Sub", u"v", u"x");
  ASSERT_EQ(Register("HKCU { Delete Old = s 'ignored' Delete Missing Next }"), kOk);
  EXPECT_THAT(registry.Dump(), ElementsAre("HKCU\\Next"));
}

struct NeverDeleteCase {
  const char* name;
  const char* script;
};

class NeverDeleted : public Walker, public ::testing::WithParamInterface<NeverDeleteCase> {};

TEST_P(NeverDeleted, KeepsItsForeignSubkeysAndStillAppliesTheEntry) {
  registry.AddString(kHkeyClassesRoot, u"CLSID\\{Foreign}", u"", u"other program");
  ASSERT_EQ(Register(GetParam().script), kOk);
  EXPECT_EQ(registry.StringValue(kHkeyClassesRoot, u"CLSID\\{Foreign}", u""), u"other program");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NeverDeleted,
    ::testing::Values(NeverDeleteCase{"ForceRemoveClsid", "HKCR { ForceRemove CLSID { Own } }"},
                      NeverDeleteCase{"ForceRemoveLowerCase", "HKCR { ForceRemove clsid { Own } }"},
                      NeverDeleteCase{"ForceRemoveMixedCaseQuoted", "HKCR { 'forceremove' 'ClSiD' { Own } }"},
                      NeverDeleteCase{"DeleteClsid", "HKCR { Delete CLSID Own }"}),
    fakes::CaseName());

TEST_F(Walker, ForceRemovedNeverDeleteKeyIsStillOpenedAndWritten) {
  registry.AddKey(kHkeyClassesRoot, u"CLSID\\{Foreign}");
  ASSERT_EQ(Register("HKCR { ForceRemove CLSID = s 'top' { Own } }"), kOk);
  EXPECT_EQ(registry.StringValue(kHkeyClassesRoot, u"CLSID", u""), u"top");
  EXPECT_TRUE(registry.KeyExists(kHkeyClassesRoot, u"CLSID\\Own"));
}

TEST_F(Walker, NoRemoveKeyStaysWhileItsRemovableContentGoes) {
  constexpr char kScript[] = "HKCU { NoRemove Shared { val Ours = s 'x' NoRemove val Kept = s 'y' Mine = s 'z' } }";
  ASSERT_EQ(Register(kScript), kOk);
  ASSERT_EQ(Unregister(kScript), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAre("HKCU\\Shared", "HKCU\\Shared [Kept] = REG_SZ \"y\""));
}

TEST_F(Walker, KeywordsInAnyCaseAndInQuotes) {
  constexpr char kScript[] = "HKCU { 'NoRemove' A { VAL v = S 'x' } NOREMOVE B noremove C }";
  ASSERT_EQ(Register(kScript), kOk);
  ASSERT_EQ(Unregister(kScript), kOk);
  EXPECT_THAT(registry.Dump(), UnorderedElementsAre("HKCU\\A", "HKCU\\B", "HKCU\\C"));
}

TEST_F(Walker, RemovableKeyWithAForeignSubkeyKeepsItButLosesItsNamedValues) {
  constexpr char kScript[] = "HKCU { App = s 'Main' { val Mode = s 'fast' } }";
  ASSERT_EQ(Register(kScript), kOk);
  registry.AddString(kHkeyCurrentUser, u"App\\OtherProgram", u"v", u"theirs");
  ASSERT_EQ(Unregister(kScript), kOk);
  EXPECT_THAT(registry.Dump(),
              UnorderedElementsAre("HKCU\\App", "HKCU\\App [] = REG_SZ \"Main\"", "HKCU\\App\\OtherProgram",
                                   "HKCU\\App\\OtherProgram [v] = REG_SZ \"theirs\""));
}

TEST_F(Walker, KeyHoldingOnlyValuesGoesWithThem) {
  registry.AddString(kHkeyCurrentUser, u"App", u"NotInScript", u"x");
  ASSERT_EQ(Unregister("HKCU { App }"), kOk);
  EXPECT_FALSE(registry.KeyExists(kHkeyCurrentUser, u"App"));
}

TEST_F(Walker, UnregisteringWhatIsNotThereSucceedsAndChangesNothing) {
  registry.AddString(kHkeyCurrentUser, u"Unrelated", u"v", u"x");
  const auto before = registry.Dump();
  EXPECT_EQ(Unregister("HKCU { App = s 'x' { val V = s 'y' Sub { Deep } } } HKLM { NoRemove Software { X } }"), kOk);
  EXPECT_EQ(registry.Dump(), before);
}

TEST_F(Walker, EmptyBlocksSucceedInBothPasses) {
  EXPECT_EQ(Register("HKCU { } HKCU { App { } }"), kOk);
  EXPECT_EQ(Unregister("HKCU { } HKCU { App { } }"), kOk);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

TEST_F(Walker, EmptyScriptIsValidButBlanksAloneAreNot) {
  EXPECT_EQ(Register(""), kOk);
  EXPECT_EQ(Register(" \r\n"), kDispException);
}

struct SyntaxCase {
  const char* name;
  const char* script;
};

// Keys the rows name, so that a walk that acted before finding the error would change them.
class SyntaxErrors : public Walker, public ::testing::WithParamInterface<SyntaxCase> {
 protected:
  SyntaxErrors() {
    registry.AddString(kHkeyCurrentUser, u"App\\X", u"v", u"old");
    registry.AddString(kHkeyCurrentUser, u"Other", u"v", u"old");
    variables.Add(u"Empty", u"");
  }
};

TEST_P(SyntaxErrors, FailInEveryPassBeforeChangingAnything) {
  const auto before = registry.Dump();
  EXPECT_EQ(Unregister(GetParam().script), kDispException);
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_EQ(Register(GetParam().script), kDispException);
  EXPECT_EQ(registry.Dump(), before);
  std::vector<RegistryDifference> differences;
  EXPECT_EQ(Check(GetParam().script, differences), kDispException);
  EXPECT_THAT(differences, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SyntaxErrors,
                         ::testing::Values(SyntaxCase{"NoRootKey", "HKCU { App { X } } Software { }"},
                                           SyntaxCase{"RootWithoutBrace", "HKCU App { }"},
                                           SyntaxCase{"KeyNameWithBackslash", "HKCU { App\\Sub = s 'x' }"},
                                           SyntaxCase{"QuotedKeyNameWithBackslash", "HKCU { App { 'B\\C' } }"},
                                           SyntaxCase{"ForceRemoveOfABackslashName", "HKCU { ForceRemove App\\X }"},
                                           SyntaxCase{"ForceRemoveOfAnEmptyName", "HKCU { ForceRemove '' }"},
                                           SyntaxCase{"DeleteOfAnEmptyName", "HKCU { Delete '' }"},
                                           SyntaxCase{"EmptyKeyNameFromAVariable",
                                                      "HKCU { NoRemove '%Empty%' = s 'x' { X } }"},
                                           SyntaxCase{"ValueWithoutEquals", "HKCU { App { val V s 'x' } }"},
                                           SyntaxCase{"TextEndsInsideABlock", "HKCU { App = s 'x' { X { Deep } }"},
                                           SyntaxCase{"StrayBlockAfterAValue", "HKCU { App { val V = s 'x' { Y } } }"},
                                           SyntaxCase{"UnclosedQuote", "HKCU { App { X } Other = s 'x }"}),
                         fakes::CaseName());

TEST_F(Walker, StrayBlockAfterDeleteFailsAndCreatesNoBraceKey) {
  EXPECT_EQ(Register("HKCU { Delete Old { X } }"), kDispException);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

TEST_F(Walker, UnknownTypeLetterFailsToRegisterButIsPassedOverWhenUnregistering) {
  registry.AddKey(kHkeyCurrentUser, u"App");
  EXPECT_EQ(Register("HKCU { Other { val V = q 'x' } }"), kDispException);
  EXPECT_EQ(Unregister("HKCU { App = z 'y' { val V = q 'x' } }"), kOk);
  EXPECT_FALSE(registry.KeyExists(kHkeyCurrentUser, u"App"));
}

// Passing over the error would read the rest of the skipped block one level too high and delete
// HKCU\Kept, which the script names only below HKCU\Missing.
TEST_F(Walker, SyntaxErrorInsideASkippedBlockIsReportedAndNothingElseIsDeleted) {
  registry.AddKey(kHkeyCurrentUser, u"Kept");
  EXPECT_EQ(Unregister("HKCU { Missing { Bad\\Name Kept } }"), kDispException);
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"Kept"));
}

TEST_F(Walker, FailingHklmBlockIsRolledBackAndTheHkcrBlockKept) {
  registry.FailSetValue(kHkeyLocalMachine, u"Software\\Vendor\\Late", kErrorAccessDenied);
  EXPECT_EQ(Register("HKCR { Class = s 'c' }"
                     " HKLM { NoRemove Software { Vendor = s 'v' { val Name = s 'n' Early = s 'e' Late = s 'l' } } }"
                     " HKCU { NeverReached }"),
            kAccessDenied);
  EXPECT_EQ(registry.StringValue(kHkeyClassesRoot, u"Class", u""), u"c");
  EXPECT_FALSE(registry.KeyExists(kHkeyLocalMachine, u"Software\\Vendor"));
  EXPECT_TRUE(registry.KeyExists(kHkeyLocalMachine, u"Software"));  // NoRemove
  EXPECT_FALSE(registry.KeyExists(kHkeyCurrentUser, u"NeverReached"));
}

TEST_F(Walker, WriteProtectedRootFailsWithAccessDeniedAndLeavesItUntouched) {
  registry.AddKey(kHkeyLocalMachine, u"Software\\Vendor");
  registry.DenyWrites(kHkeyLocalMachine, u"");
  const auto before = registry.Dump();
  EXPECT_EQ(Register("HKCU { Mine } HKLM { NoRemove Software { Vendor { New } } }"), kAccessDenied);
  EXPECT_EQ(registry.Dump().size(), before.size() + 1);  // HKCU\Mine only
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"Mine"));
}

TEST_F(Walker, RollBackAlsoRemovesMatchingKeysThisRunDidNotCreate) {
  registry.AddKey(kHkeyCurrentUser, u"Existing");
  registry.FailSetValue(kHkeyCurrentUser, u"Broken", 1234);
  EXPECT_EQ(Register("HKCU { Existing Broken = s 'x' }"), HresultFromWin32(1234));
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

TEST_F(Walker, KeyThatCannotBeOpenedEndsTheUnregisterPassAfterItsBlock) {
  registry.AddKey(kHkeyCurrentUser, u"First");
  registry.AddKey(kHkeyCurrentUser, u"Locked\\Inner");
  registry.AddKey(kHkeyCurrentUser, u"Last");
  registry.DenyAccess(kHkeyCurrentUser, u"Locked");
  EXPECT_EQ(Unregister("HKCU { First Locked { Inner } Last }"), kAccessDenied);
  EXPECT_FALSE(registry.KeyExists(kHkeyCurrentUser, u"First"));
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"Locked\\Inner"));
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"Last"));
}

TEST_F(Walker, FirstDeletionFailureEndsTheUnregisterPass) {
  registry.AddString(kHkeyCurrentUser, u"Protected", u"V", u"x");
  registry.AddKey(kHkeyCurrentUser, u"Last");
  registry.DenyWrites(kHkeyCurrentUser, u"Protected");
  EXPECT_EQ(Unregister("HKCU { Protected { val V = s 'x' } Last }"), kAccessDenied);
  EXPECT_EQ(registry.StringValue(kHkeyCurrentUser, u"Protected", u"V"), u"x");
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"Last"));
}

TEST_F(Walker, ProtectedKeyThatCannotBeRemovedFailsTheUnregisterPass) {
  registry.AddKey(kHkeyCurrentUser, u"Protected");
  registry.DenyWrites(kHkeyCurrentUser, u"Protected");
  EXPECT_EQ(Unregister("HKCU { Protected }"), kAccessDenied);
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"Protected"));
}

TEST_F(Walker, ForceRemoveThatCannotDeleteIsNoError) {
  registry.AddKey(kHkeyCurrentUser, u"App\\Sub");
  registry.DenyWrites(kHkeyCurrentUser, u"App\\Sub");
  EXPECT_EQ(Register("HKCU { ForceRemove App { Own } }"), kOk);
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"App\\Sub"));
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"App\\Own"));
}

TEST_F(Walker, NestingDeeperThanTheRegistryAllowsFailsInsteadOfExhaustingTheStack) {
  std::string deep = "HKCU { ";
  for (int i = 0; i < 100000; ++i) deep += "k { ";
  for (int i = 0; i < 100000; ++i) deep += "} ";
  deep += "}";
  EXPECT_EQ(Unregister(deep), kDispException);
  EXPECT_EQ(Register(deep), kDispException);
}

TEST_F(Walker, NestingAsDeepAsTheRegistryAllowsWorks) {
  std::string deep = "HKCU { ";
  for (int i = 1; i < kMaxBlockDepth; ++i) deep += "k { ";
  for (int i = 1; i < kMaxBlockDepth; ++i) deep += "} ";
  deep += "}";
  EXPECT_EQ(Register(deep), kOk);
  EXPECT_EQ(registry.Dump().size(), static_cast<std::size_t>(kMaxBlockDepth - 1));
  EXPECT_EQ(Unregister(deep), kOk);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

TEST_F(Walker, VariablesAreExpandedInBothPasses) {
  variables.Add(u"NAME", u"App");
  ASSERT_EQ(Register("HKCU { '%NAME%' = s '%name%' }"), kOk);
  EXPECT_EQ(registry.StringValue(kHkeyCurrentUser, u"App", u""), u"App");
  ASSERT_EQ(Unregister("HKCU { '%NAME%' }"), kOk);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

TEST_F(Walker, FailedExpansionTouchesNothing) {
  EXPECT_EQ(Register("HKCU { A } HKCU { '%Missing%' }"), kDispException);
  EXPECT_THAT(registry.Dump(), IsEmpty());
}

// The check compares what the register pass would write and nothing else: a Delete entry, the
// subtree a ForceRemove would clear and a string's missing terminator are no differences.
TEST_F(Walker, CheckLooksOnlyAtWhatRegistrationWritesAndChangesNothing) {
  registry.AddKey(kHkeyCurrentUser, u"Old\\Sub");
  registry.AddKey(kHkeyCurrentUser, u"App\\Foreign");
  registry.AddString(kHkeyCurrentUser, u"App", u"Extra", u"x");
  RegKey app = 0;
  ASSERT_EQ(registry.CreateKey(kHkeyCurrentUser, u"App", kKeyReadWrite, &app), 0);
  ASSERT_EQ(registry.SetValue(app, nullptr, kRegSz, u"main", 8), 0);  // no terminator
  ASSERT_EQ(registry.CloseKey(app), 0);
  const auto before = registry.Dump();
  const int writes = registry.writeRequests;
  std::vector<RegistryDifference> differences;
  EXPECT_EQ(Check("HKCU { Delete Old ForceRemove App = s 'main' }", differences), kOk);
  EXPECT_THAT(differences, IsEmpty());
  EXPECT_EQ(registry.Dump(), before);
  EXPECT_EQ(registry.writeRequests, writes);
}

TEST(KeyDeletion, DeleteKeyTreeRemovesEveryLevel) {
  fakes::MemoryRegistry registry;
  registry.AddString(kHkeyCurrentUser, u"T\\a\\b\\c", u"v", u"x");
  registry.AddKey(kHkeyCurrentUser, u"T\\a\\d");
  registry.AddKey(kHkeyCurrentUser, u"T\\e");
  EXPECT_EQ(DeleteKeyTree(registry, kHkeyCurrentUser, u"T"), 0);
  EXPECT_THAT(registry.Dump(), IsEmpty());
  EXPECT_EQ(registry.OpenHandles(), 0u);
  EXPECT_EQ(DeleteKeyTree(registry, kHkeyCurrentUser, u"T"), kErrorFileNotFound);
}

TEST(KeyDeletion, DeleteKeyTreeStopsAtTheFirstFailureAndReleasesItsHandles) {
  fakes::MemoryRegistry registry;
  registry.AddKey(kHkeyCurrentUser, u"T\\a\\locked");
  registry.DenyWrites(kHkeyCurrentUser, u"T\\a\\locked");
  EXPECT_EQ(DeleteKeyTree(registry, kHkeyCurrentUser, u"T"), kErrorAccessDenied);
  EXPECT_TRUE(registry.KeyExists(kHkeyCurrentUser, u"T\\a\\locked"));
  EXPECT_EQ(registry.OpenHandles(), 0u);
}

}  // namespace
}  // namespace torvo
