#include "tools/doctor/reads/pe_image.h"

#include <cstddef>

namespace torvo::doctor {

namespace {

// Bounds-checked little-endian reads from the file's bytes.
class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::optional<std::uint32_t> Read(std::size_t offset, std::size_t size) const {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = size; i > 0; --i) value = value << 8 | bytes_[offset + i - 1];
    return value;
  }
  std::optional<std::uint32_t> U16(std::size_t offset) const { return Read(offset, 2); }
  std::optional<std::uint32_t> U32(std::size_t offset) const { return Read(offset, 4); }

  // The zero-terminated text at `offset`; nothing when it does not end inside the file.
  std::optional<std::string> Text(std::size_t offset) const {
    std::string text;
    for (std::size_t i = offset; i < bytes_.size(); ++i) {
      if (bytes_[i] == 0) return text;
      text += static_cast<char>(bytes_[i]);
    }
    return std::nullopt;
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

constexpr std::size_t kFileHeaderBytes = 20;
constexpr std::size_t kSectionHeaderBytes = 40;

struct Sections {
  std::size_t first = 0;  // offset of the section table
  std::uint32_t count = 0;
};

// The file offset of a relative virtual address: inside the raw data of the section that holds it.
std::optional<std::size_t> FileOffset(const Bytes& file, const Sections& sections, std::uint32_t rva) {
  for (std::uint32_t i = 0; i < sections.count; ++i) {
    const std::size_t header = sections.first + i * kSectionHeaderBytes;
    const auto address = file.U32(header + 12);
    const auto rawSize = file.U32(header + 16);
    const auto rawOffset = file.U32(header + 20);
    if (!address || !rawSize || !rawOffset) return std::nullopt;
    if (rva >= *address && rva - *address < *rawSize) return std::size_t{*rawOffset} + (rva - *address);
  }
  return std::nullopt;
}

// The names of the export directory at `rva` (none when the image exports nothing).
std::optional<std::vector<std::string>> ExportNames(const Bytes& file, const Sections& sections, std::uint32_t rva) {
  std::vector<std::string> names;
  if (rva == 0) return names;
  const auto directory = FileOffset(file, sections, rva);
  if (!directory) return std::nullopt;
  const auto count = file.U32(*directory + 24);
  const auto namesRva = file.U32(*directory + 32);
  if (!count || !namesRva) return std::nullopt;
  const auto table = FileOffset(file, sections, *namesRva);
  if (*count != 0 && !table) return std::nullopt;
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto nameRva = file.U32(*table + std::size_t{i} * 4);
    if (!nameRva) return std::nullopt;
    const auto at = FileOffset(file, sections, *nameRva);
    if (!at) return std::nullopt;
    auto name = file.Text(*at);
    if (!name) return std::nullopt;
    names.push_back(std::move(*name));
  }
  return names;
}

}  // namespace

std::optional<PeImage> ReadPeImage(std::span<const std::uint8_t> bytes) {
  const Bytes file(bytes);
  if (file.U16(0) != 0x5A4Du) return std::nullopt;  // "MZ"
  const auto peOffset = file.U32(0x3C);
  if (!peOffset || file.U32(*peOffset) != 0x00004550u) return std::nullopt;  // "PE\0\0"
  const std::size_t header = std::size_t{*peOffset} + 4;
  const auto machine = file.U16(header);
  const auto sectionCount = file.U16(header + 2);
  const auto optionalSize = file.U16(header + 16);
  const std::size_t optional = header + kFileHeaderBytes;
  const auto magic = file.U16(optional);
  if (!machine || !sectionCount || !optionalSize || !magic) return std::nullopt;
  // The data directories follow 112 bytes of PE32+ fields, or 96 of PE32 ones; the exports are the first.
  const std::size_t directories = optional + (*magic == kMagicPe32Plus ? 112 : 96);
  const auto directoryCount = file.U32(directories - 4);
  if (!directoryCount || directories + 8 > optional + *optionalSize) return std::nullopt;
  const auto exportRva = *directoryCount == 0 ? std::optional<std::uint32_t>(0) : file.U32(directories);
  if (!exportRva) return std::nullopt;
  const Sections sections{optional + *optionalSize, *sectionCount};
  auto exports = ExportNames(file, sections, *exportRva);
  if (!exports) return std::nullopt;
  return PeImage{static_cast<std::uint16_t>(*machine), static_cast<std::uint16_t>(*magic), std::move(*exports)};
}

std::string MachineName(std::uint16_t machine) {
  switch (machine) {
    case kMachineAmd64:
      return "x64";
    case kMachineI386:
      return "x86";
    case kMachineArm64:
      return "ARM64";
    default: {
      static constexpr char kDigits[] = "0123456789ABCDEF";
      std::string number = "machine 0x";
      for (int shift = 12; shift >= 0; shift -= 4) number += kDigits[(machine >> shift) & 0xF];
      return number;
    }
  }
}

std::string ForeignImageText(const PeImage& image, std::uint16_t native) {
  if (image.machine == native) return "is no 64-bit image (its optional header is not the 64-bit kind)";
  if (image.machine == kMachineI386) return "is a 32-bit image (x86)";
  return "is built for another machine (" + MachineName(image.machine) + ")";
}

}  // namespace torvo::doctor
