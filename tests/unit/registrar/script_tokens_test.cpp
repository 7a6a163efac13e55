#include "registrar/script_tokens.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registrar/script_tables.h"
#include "tests/fakes/case_name.h"
#include "tests/fakes/memory_registry.h"

namespace torvo {
namespace {

using ::testing::ElementsAreArray;

// Reads tokens until the first failure; the tokens read and that failure.
struct TokenRun {
  std::vector<std::u16string> tokens;
  HResult stop = kOk;
};

TokenRun ReadAll(const std::u16string& text) {
  SubstitutionMap variables;
  fakes::MemoryRegistry registry;
  CRegScriptParser parser(variables, registry);
  parser.cursor = text.c_str();
  TokenRun run;
  TokenBuffer token{};
  while (Succeeded(run.stop = ReadToken(parser, token))) run.tokens.emplace_back(token.data());
  return run;
}

struct TokenCase {
  const char* name;
  std::u16string text;
  std::vector<std::u16string> tokens;
  HResult stop;  // what ends the reading: kDispException at the end of the text or for bad input
};

class Tokens : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokens, SplitAsTheLanguageSays) {
  const TokenRun run = ReadAll(GetParam().text);
  EXPECT_THAT(run.tokens, ElementsAreArray(GetParam().tokens));
  EXPECT_EQ(run.stop, GetParam().stop);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Tokens,
    ::testing::Values(
        TokenCase{"BlanksSeparate", u" \tHKCR\r\n{\n\tx }", {u"HKCR", u"{", u"x", u"}"}, kDispException},
        TokenCase{"DoubledQuoteReadsAsOne", u"'it''s'", {u"it's"}, kDispException},
        TokenCase{"TwoQuotesAreAnEmptyToken", u"'' x", {u"", u"x"}, kDispException},
        TokenCase{"FourQuotesAreOneQuote", u"''''", {u"'"}, kDispException},
        TokenCase{
            "QuotedTokenHoldsBlanksBracesEqualsBackslash", u"'a b{=}\\c' d", {u"a b{=}\\c", u"d"}, kDispException},
        TokenCase{"QuotedTokenEndsAtItsQuoteEvenWithoutBlank", u"'a'b", {u"a", u"b"}, kDispException},
        TokenCase{"UnclosedQuoteFails", u"x 'abc", {u"x"}, kDispException},
        TokenCase{"UnclosedAfterDoubledQuoteFails", u"'abc''", {}, kDispException},
        TokenCase{"EqualsInsideAWordIsPartOfIt", u"a=s", {u"a=s"}, kDispException},
        TokenCase{"QuoteInsideAWordIsOrdinary", u"a'b c", {u"a'b", u"c"}, kDispException},
        TokenCase{"OnlyBlanksIsTheEnd", u" \r\n\t ", {}, kDispException},
        TokenCase{"EmptyTextIsTheEnd", u"", {}, kDispException},
        TokenCase{
            "PlainTokenOf4094UnitsFits", std::u16string(4094, u'k'), {std::u16string(4094, u'k')}, kDispException},
        TokenCase{"QuotedTokenOf4094UnitsFits",
                  u"'" + std::u16string(4094, u'k') + u"'",
                  {std::u16string(4094, u'k')},
                  kDispException},
        TokenCase{"DoubledQuotesCountOnceTowardTheLimit",
                  u"'" + std::u16string(2047, u'k') + std::u16string(4094, u'\'') + u"'",
                  {std::u16string(2047, u'k') + std::u16string(2047, u'\'')},
                  kDispException}),
    fakes::CaseName());

struct OverlongCase {
  const char* name;
  std::u16string text;
};

class OverlongTokens : public ::testing::TestWithParam<OverlongCase> {};

TEST_P(OverlongTokens, FailWithoutWritingPastTheBuffer) {
  SubstitutionMap variables;
  fakes::MemoryRegistry registry;
  CRegScriptParser parser(variables, registry);
  parser.cursor = GetParam().text.c_str();
  TokenBuffer token{};
  token.back() = u'#';  // the last slot is never written
  EXPECT_EQ(ReadToken(parser, token), kDispException);
  EXPECT_EQ(token.back(), u'#');
}

INSTANTIATE_TEST_SUITE_P(Rows, OverlongTokens,
                         ::testing::Values(OverlongCase{"Plain4095", std::u16string(4095, u'k')},
                                           OverlongCase{"Quoted4095", u"'" + std::u16string(4095, u'k') + u"'"},
                                           OverlongCase{"Plain10000", std::u16string(10000, u'k')}),
                         fakes::CaseName());

class TokenCursor : public ::testing::Test {
 protected:
  void Start(const char16_t* text) { parser.cursor = text; }

  SubstitutionMap variables;
  fakes::MemoryRegistry registry;
  CRegScriptParser parser{variables, registry};
  TokenBuffer token{};
};

TEST_F(TokenCursor, PlainTokenLeavesTheBlankAfterIt) {
  const char16_t text[] = u"abc \tdef";
  Start(text);
  ASSERT_EQ(ReadToken(parser, token), kOk);
  EXPECT_EQ(parser.cursor, text + 3);
  SkipBlanks(parser);
  EXPECT_EQ(parser.cursor, text + 5);
}

TEST_F(TokenCursor, QuotedTokenLeavesTheCursorBehindItsClosingQuote) {
  const char16_t text[] = u"'a''b' c";
  Start(text);
  ASSERT_EQ(ReadToken(parser, token), kOk);
  EXPECT_EQ(parser.cursor, text + 6);
}

TEST_F(TokenCursor, SkipValueSpecPassesTypeAndValueAndReadsTheNextToken) {
  Start(u" s 'a b } c' next");
  token = {u'='};
  ASSERT_EQ(SkipValueSpec(parser, token), kOk);
  EXPECT_EQ(std::u16string(token.data()), u"next");
}

TEST_F(TokenCursor, SkipValueSpecLeavesAnyOtherTokenAlone) {
  const char16_t text[] = u" s 'x' next";
  Start(text);
  token = {u'{'};
  ASSERT_EQ(SkipValueSpec(parser, token), kOk);
  EXPECT_EQ(std::u16string(token.data()), u"{");
  EXPECT_EQ(parser.cursor, text);
}

TEST_F(TokenCursor, SkipValueSpecFailsWhenTheTextEndsInsideIt) {
  Start(u" s 'x'");
  token = {u'='};
  EXPECT_EQ(SkipValueSpec(parser, token), kDispException);
}

TEST(ScriptTables, RootKeysByShortAndLongNameInAnyCase) {
  EXPECT_EQ(LookupRootKey(u"HKCR"), PredefinedKey(0x80000000));
  EXPECT_EQ(LookupRootKey(u"hkcu"), PredefinedKey(0x80000001));
  EXPECT_EQ(LookupRootKey(u"HKEY_LOCAL_MACHINE"), PredefinedKey(0x80000002));
  EXPECT_EQ(LookupRootKey(u"HKU"), PredefinedKey(0x80000003));
  EXPECT_EQ(LookupRootKey(u"HKPD"), PredefinedKey(0x80000004));
  EXPECT_EQ(LookupRootKey(u"hkcc"), PredefinedKey(0x80000005));
  EXPECT_EQ(LookupRootKey(u"HKEY_DYN_DATA"), PredefinedKey(0x80000006));
  EXPECT_EQ(LookupRootKey(u"HKLM\\Software"), 0u);
  EXPECT_EQ(LookupRootKey(u""), 0u);
  EXPECT_EQ(PredefinedKey(0x80000000), 0xFFFFFFFF80000000u);  // sign-extended like the platform's handles
}

}  // namespace
}  // namespace torvo
