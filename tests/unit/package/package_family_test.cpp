// The package family's name as Windows computes it: SHA-256, and the publisher's identifier in
// Windows' base-32 alphabet.
#include <gtest/gtest.h>

#include <string>

#include "tools/package/package_family.h"

namespace torvo::package {
namespace {

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest) text += {kDigits[byte >> 4], kDigits[byte & 15]};
  return text;
}

TEST(PackageFamily, Sha256OfTheStandardsExamples) {
  EXPECT_EQ(Hex(Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  // Two blocks: the padding does not fit after 56 bytes.
  EXPECT_EQ(Hex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(PackageFamily, NamesThePublisherAsWindowsDoes) {
  EXPECT_EQ(PublisherId(u"CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, S=Washington, C=US"),
            u"8wekyb3d8bbwe");
  EXPECT_EQ(FamilyName(u"ZebTorvo.TorvoShellMenu",
                       u"CN=Microsoft Corporation, O=Microsoft Corporation, L=Redmond, "
                       u"S=Washington, C=US"),
            u"ZebTorvo.TorvoShellMenu_8wekyb3d8bbwe");
}

}  // namespace
}  // namespace torvo::package
