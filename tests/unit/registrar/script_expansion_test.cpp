#include "registrar/script_expansion.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/fakes/case_name.h"
#include "tests/fakes/memory_registry.h"
#include "tests/unit/registrar/registrar_test_support.h"

namespace torvo {
namespace {

using testing_support::PerUserMode;
using testing_support::U16;

const std::u16string kName31(31, u'n');
const std::u16string kName32(32, u'n');

class Expansion : public ::testing::Test {
 protected:
  Expansion() {
    variables.Add(u"Module", u"C:\\x.dll");
    variables.Add(u"MODULE", u"C:\\second.dll");
    variables.Add(u"Percent", u"50%");
    variables.Add(u"Root", u"HKCR");
    variables.Add(kName31, u"thirty-one");
    variables.Add(kName32, u"thirty-two");
  }

  HResult Expand(const std::u16string& text) {
    CRegScriptParser parser(variables, registry);
    result = u"(untouched)";
    return ExpandScript(parser, text.c_str(), &result);
  }

  SubstitutionMap variables;
  fakes::MemoryRegistry registry;
  std::u16string result;
};

struct ExpansionCase {
  const char* name;
  std::u16string text;
  HResult status;
  std::u16string expanded;  // when the status is kOk
};

class ExpansionRows : public Expansion, public ::testing::WithParamInterface<ExpansionCase> {};

TEST_P(ExpansionRows, GivesTheExpectedTextOrFailure) {
  const ExpansionCase& row = GetParam();
  EXPECT_EQ(Expand(row.text), row.status);
  EXPECT_EQ(result, row.status == kOk ? row.expanded : u"(untouched)");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExpansionRows,
    ::testing::Values(ExpansionCase{"Empty", u"", kOk, u""},
                      ExpansionCase{"DoubledPercentIsOnePercent", u"100%%", kOk, u"100%"},
                      ExpansionCase{"FourPercentSignsGiveTwo", u"%%%%", kOk, u"%%"},
                      ExpansionCase{"NameFoundWithoutRegardToCaseFirstMatchWins", u"'%module%'", kOk, u"'C:\\x.dll'"},
                      ExpansionCase{"ValueIsNotScannedAgain", u"%Percent%%Percent%", kOk, u"50%50%"},
                      ExpansionCase{"ThirtyOneUnitNameIsAccepted", u"%" + kName31 + u"%", kOk, u"thirty-one"},
                      ExpansionCase{"ThirtyTwoUnitNameFailsEvenWhenKnown", u"%" + kName32 + u"%", kFail, u""},
                      ExpansionCase{"UnclosedPercentFails", u"a = s '%Module", kDispException, u""},
                      ExpansionCase{"LonePercentAtTheEndFails", u"abc%", kDispException, u""},
                      ExpansionCase{"UnknownNameFails", u"%Nope%", kDispException, u""},
                      ExpansionCase{"HkcrStaysWithTheFlagClear", u"HKCR { a }", kOk, u"HKCR { a }"}),
    fakes::CaseName());

TEST_F(Expansion, MissingTextOrResultPlaceIsAPointerError) {
  CRegScriptParser parser(variables, registry);
  EXPECT_EQ(ExpandScript(parser, nullptr, &result), kPointer);
  EXPECT_EQ(ExpandScript(parser, u"HKCR { }", nullptr), kPointer);
}

TEST_F(Expansion, LongTextGrowsTheBufferAndKeepsEveryUnit) {
  std::u16string text;
  for (int i = 0; i < 5000; ++i) text += u"%Module%;";
  ASSERT_EQ(Expand(text), kOk);
  EXPECT_EQ(result.size(), 5000u * 9);
  EXPECT_EQ(result.substr(0, 18), u"C:\\x.dll;C:\\x.dll;");
}

// The per-user redirection: HKCU, then Software { Classes { around the block.
constexpr char16_t kOpening[] = u"HKCU\r\n{\tNoRemove Software\r\n\t{\r\n\t\tNoRemove Classes";
constexpr char16_t kClosing[] = u"\r\n\t}\r\n}\r\n";

class PerUserExpansion : public Expansion {
 protected:
  PerUserMode perUser;
};

TEST_F(PerUserExpansion, RedirectsTheBlockExactlyAsDescribed) {
  ASSERT_EQ(Expand(u"HKCR\r\n{\r\n\tx\r\n}\r\n"), kOk);
  EXPECT_EQ(result, std::u16string(kOpening) + u"\r\n{\r\n\tx\r\n" + kClosing + u"}\r\n");
}

TEST_F(PerUserExpansion, RedirectedBlockTokenizesUnderSoftwareClasses) {
  ASSERT_EQ(Expand(u"HKCR\r\n{\r\n\tx\r\n}\r\n"), kOk);
  CRegScriptParser parser(variables, registry);
  parser.cursor = result.c_str();
  std::u16string tokens;
  TokenBuffer token{};
  while (Succeeded(ReadToken(parser, token))) tokens += std::u16string(token.data()) + u" ";
  EXPECT_EQ(tokens, u"HKCU { NoRemove Software { NoRemove Classes { x } } } ");
}

TEST_F(PerUserExpansion, RedirectsEveryHkcrBlockAndLeavesHklm) {
  ASSERT_EQ(Expand(u"HKCR { a } HKLM { b } HKCR { c }"), kOk);
  EXPECT_EQ(result,
            std::u16string(kOpening) + u" { a " + kClosing + u"} HKLM { b } " + kOpening + u" { c " + kClosing + u"}");
}

TEST_F(PerUserExpansion, BracesInsideQuotesAreNotCounted) {
  ASSERT_EQ(Expand(u"HKCR { 'a}' = s '{' 'it''s}' } HKLM { }"), kOk);
  EXPECT_EQ(result, std::u16string(kOpening) + u" { 'a}' = s '{' 'it''s}' " + kClosing + u"} HKLM { }");
}

// The tokenizer opens a quoted token only where a token starts: O'Brien is a plain name.
TEST_F(PerUserExpansion, QuoteInsideANameOpensNoQuotedToken) {
  ASSERT_EQ(Expand(u"HKCR { O'Brien { } 'a'{ } } HKLM { }"), kOk);
  EXPECT_EQ(result, std::u16string(kOpening) + u" { O'Brien { } 'a'{ } " + kClosing + u"} HKLM { }");
}

TEST_F(PerUserExpansion, UnquotedBracedNamesCancelOut) {
  ASSERT_EQ(Expand(u"HKCR { {5B0D} = s 'x' } HKLM { }"), kOk);
  EXPECT_EQ(result, std::u16string(kOpening) + u" { {5B0D} = s 'x' " + kClosing + u"} HKLM { }");
}

TEST_F(PerUserExpansion, OnlyTheUpperCaseShortNameIsRedirected) {
  ASSERT_EQ(Expand(u"hkcr { } HKEY_CLASSES_ROOT { }"), kOk);
  EXPECT_EQ(result, u"hkcr { } HKEY_CLASSES_ROOT { }");
}

TEST_F(PerUserExpansion, HkcrInsideABlockOrAValueStays) {
  ASSERT_EQ(Expand(u"HKLM { HKCR { } } %Root% { }"), kOk);
  EXPECT_EQ(result, u"HKLM { HKCR { } } HKCR { }");
}

TEST_F(PerUserExpansion, TextEndingInHkcrStopsThere) {
  ASSERT_EQ(Expand(u"HKCR"), kOk);
  EXPECT_EQ(result, kOpening);
}

}  // namespace
}  // namespace torvo
