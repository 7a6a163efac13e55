// torvo-doctor's reading of an image file: machine, kind and export names, and nothing read
// outside the file however it is cut or bent.
#include "tools/doctor/reads/pe_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/fakes/case_name.h"

namespace torvo::doctor {
namespace {

using ::testing::ElementsAre;

void Put(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A minimal image: DOS header, PE header at 0x40, one section (RVA 0x1000, file offset 0x200)
// holding the export directory, its name table and the names.
std::vector<std::uint8_t> Image(std::uint16_t machine, std::uint16_t magic, const std::vector<std::string>& names) {
  std::vector<std::uint8_t> bytes(0x400, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put(bytes, 0x3C, 0x40, 4);
  Put(bytes, 0x40, 0x00004550, 4);
  Put(bytes, 0x44, machine, 2);
  Put(bytes, 0x46, 1, 2);  // one section
  const std::size_t optionalSize = magic == kMagicPe32Plus ? 240 : 224;
  Put(bytes, 0x54, static_cast<std::uint32_t>(optionalSize), 2);
  const std::size_t optional = 0x58;
  Put(bytes, optional, magic, 2);
  const std::size_t directories = optional + (magic == kMagicPe32Plus ? 112 : 96);
  Put(bytes, directories - 4, 16, 4);
  Put(bytes, directories, 0x1000, 4);
  const std::size_t section = optional + optionalSize;
  Put(bytes, section + 12, 0x1000, 4);
  Put(bytes, section + 16, 0x200, 4);
  Put(bytes, section + 20, 0x200, 4);
  Put(bytes, 0x200 + 24, static_cast<std::uint32_t>(names.size()), 4);
  Put(bytes, 0x200 + 32, 0x1040, 4);
  std::size_t text = 0x280;
  for (std::size_t i = 0; i < names.size(); ++i) {
    Put(bytes, 0x240 + 4 * i, static_cast<std::uint32_t>(0x1000 + text - 0x200), 4);
    std::copy(names[i].begin(), names[i].end(), bytes.begin() + static_cast<std::ptrdiff_t>(text));
    text += names[i].size() + 1;
  }
  return bytes;
}

TEST(PeImage, ReadsMachineKindAndExportNames) {
  const auto image = ReadPeImage(Image(kMachineAmd64, kMagicPe32Plus, {"DllCanUnloadNow", "DllInstall"}));
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->Is64Bit());
  EXPECT_THAT(image->exports, ElementsAre("DllCanUnloadNow", "DllInstall"));
  const auto old = ReadPeImage(Image(0x14C, 0x10B, {"DllInstall"}));
  ASSERT_TRUE(old);
  EXPECT_FALSE(old->Is64Bit());
  EXPECT_THAT(old->exports, ElementsAre("DllInstall"));
}

TEST(PeImage, NamesTheMachineItWasBuiltFor) {
  const auto text = [](std::uint16_t machine, std::uint16_t magic) {
    return ForeignImageText(*ReadPeImage(Image(machine, magic, {})));
  };
  EXPECT_EQ(text(kMachineI386, 0x10B), "is a 32-bit image (x86)");
  EXPECT_EQ(text(kMachineArm64, kMagicPe32Plus), "is built for another machine (ARM64)");
  EXPECT_EQ(text(0x1C4, 0x10B), "is built for another machine (machine 0x01C4)");
  EXPECT_EQ(text(kMachineAmd64, 0x10B), "is no 64-bit image (its optional header is not the 64-bit kind)");
  EXPECT_EQ(ForeignImageText(*ReadPeImage(Image(kMachineAmd64, kMagicPe32Plus, {})), kMachineArm64),
            "is built for another machine (x64)");
}

struct Damage {
  const char* name;
  std::function<void(std::vector<std::uint8_t>&)> apply;
};

class DamagedImage : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedImage, IsNoImage) {
  std::vector<std::uint8_t> bytes = Image(kMachineAmd64, kMagicPe32Plus, {"DllInstall"});
  GetParam().apply(bytes);
  EXPECT_FALSE(ReadPeImage(bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedImage,
    ::testing::Values(Damage{"NoMz", [](auto& b) { b[0] = 'X'; }},
                      Damage{"PeHeaderPastTheEnd", [](auto& b) { Put(b, 0x3C, 0xFFFFFFF0, 4); }},
                      Damage{"CutInTheHeaders", [](auto& b) { b.resize(0x60); }},
                      Damage{"ExportsOutsideEverySection", [](auto& b) { Put(b, 0x58 + 112, 0x9000, 4); }},
                      Damage{"NameTablePastTheEnd", [](auto& b) { Put(b, 0x200 + 24, 0x40000000, 4); }},
                      Damage{"NameWithoutItsEnd", [](auto& b) { std::fill(b.begin() + 0x280, b.end(), 'A'); }},
                      Damage{"CutInTheNames", [](auto& b) { b.resize(0x284); }}),
    fakes::CaseName());

}  // namespace
}  // namespace torvo::doctor
