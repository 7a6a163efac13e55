// Values of every kind as the register pass writes them: registry type and exact bytes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registrar/script_walker.h"
#include "tests/fakes/case_name.h"
#include "tests/unit/registrar/registrar_test_support.h"

namespace torvo {
namespace {

using testing_support::WalkOnMemoryRegistry;

std::vector<std::uint8_t> Utf16Bytes(const std::u16string& units) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

struct ValueCase {
  const char* name;
  const char* spec;  // what follows "val V = "
  HResult status;
  std::uint32_t type;  // when written
  std::vector<std::uint8_t> bytes;
};

class Values : public WalkOnMemoryRegistry, public ::testing::WithParamInterface<ValueCase> {};

// A value that cannot be written fails before anything is written, so the key that already held
// another value is not rolled back with it.
TEST_P(Values, AreWrittenWithTheirTypeAndBytesOrNotAtAll) {
  const ValueCase& row = GetParam();
  registry.AddString(kHkeyCurrentUser, u"App", u"Kept", u"old");
  const auto before = registry.Dump();
  EXPECT_EQ(Register(std::string("HKCU { App { val V = ") + row.spec + " } }"), row.status);
  if (row.status != kOk) {
    EXPECT_EQ(registry.Dump(), before);
    return;
  }
  const auto value = registry.Value(kHkeyCurrentUser, u"App", u"V");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, row.type);
  EXPECT_EQ(value->bytes, row.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Values,
    ::testing::Values(
        ValueCase{"StringWithTerminator", "s 'a b'", kOk, kRegSz, Utf16Bytes(std::u16string(u"a b\0", 4))},
        ValueCase{"EmptyStringIsTheTerminatorAlone", "S ''", kOk, kRegSz, {0, 0}},
        ValueCase{"StringWithDoubledQuote", "s 'it''s'", kOk, kRegSz, Utf16Bytes(std::u16string(u"it's\0", 5))},
        ValueCase{"StringKeepsBackslashZero", "s 'a\\0b'", kOk, kRegSz, Utf16Bytes(std::u16string(u"a\\0b\0", 5))},
        ValueCase{"MultiStringSplitsAtBackslashZero", "m 'a\\0b'", kOk, kRegMultiSz,
                  Utf16Bytes(std::u16string(u"a\0b\0\0", 5))},
        ValueCase{"MultiStringEndsAtTheFirstEmptyString", "M 'a\\0\\0b'", kOk, kRegMultiSz,
                  Utf16Bytes(std::u16string(u"a\0\0", 3))},
        ValueCase{"MultiStringTrailingSeparator", "m 'ab\\0'", kOk, kRegMultiSz,
                  Utf16Bytes(std::u16string(u"ab\0\0", 4))},
        ValueCase{"EmptyMultiString", "m ''", kOk, kRegMultiSz, {0, 0}},
        ValueCase{"MultiStringLoneBackslashStays", "m 'a\\'", kOk, kRegMultiSz,
                  Utf16Bytes(std::u16string(u"a\\\0\0", 4))},
        ValueCase{"Dword", "d '305419896'", kOk, kRegDword, {0x78, 0x56, 0x34, 0x12}},
        ValueCase{"LargestDword", "D 4294967295", kOk, kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}},
        ValueCase{"DwordThatIsNoNumberWritesNothing", "d 'x1'", kDispTypeMismatch, 0, {}},
        ValueCase{"DwordTooLargeWritesNothing", "d 4294967296", kDispOverflow, 0, {}},
        ValueCase{"BinaryHighDigitFirst", "b '0aFF'", kOk, kRegBinary, {0x0A, 0xFF}},
        ValueCase{"BinaryNonDigitsCountAsZero", "B zz", kOk, kRegBinary, {0x00}},
        ValueCase{"BinaryMixed", "b 'g1A0'", kOk, kRegBinary, {0x01, 0xA0}},
        ValueCase{"EmptyBinaryIsZeroBytes", "b ''", kOk, kRegBinary, {}},
        ValueCase{"OddBinaryFailsBeforeWriting", "b 'abc'", kFail, 0, {}},
        ValueCase{"UnknownTypeLetter", "x 'abc'", kDispException, 0, {}},
        ValueCase{"TypeWordIsNoLetter", "sz 'abc'", kDispException, 0, {}},
        ValueCase{
            "BlanksBetweenTypeAndValue",
            "s \t\r\n 'v'",
            kOk,
            kRegSz,
            Utf16Bytes(std::u16string(u"v\0", 2)),
        }),
    fakes::CaseName());

class DefaultValues : public WalkOnMemoryRegistry {};

TEST_F(DefaultValues, KeyEntryWritesTheDefaultValueAndValEntriesNamedOnes) {
  ASSERT_EQ(Register("HKCU { App = d 5 { val '' = s 'named empty' } Other = b 01 }"), kOk);
  EXPECT_THAT(registry.Dump(), ::testing::UnorderedElementsAre("HKCU\\App", "HKCU\\App [] = REG_SZ \"named empty\"",
                                                               "HKCU\\Other", "HKCU\\Other [] = REG_BINARY 01"));
}

TEST_F(DefaultValues, FailedWriteStopsBeforeReadingFurther) {
  registry.FailSetValue(kHkeyCurrentUser, u"App", 87);
  EXPECT_EQ(Register("HKCU { App = s 'x' Next }"), HresultFromWin32(87));
  EXPECT_FALSE(registry.KeyExists(kHkeyCurrentUser, u"Next"));
  EXPECT_EQ(registry.setValueCalls, 1);
}

}  // namespace
}  // namespace torvo
