#pragma once
// The headers and the export names of a Windows image file, read from its bytes.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace torvo::doctor {

inline constexpr std::uint16_t kMachineAmd64 = 0x8664;  // IMAGE_FILE_MACHINE_AMD64
inline constexpr std::uint16_t kMachineI386 = 0x14C;    // IMAGE_FILE_MACHINE_I386
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64
inline constexpr std::uint16_t kMagicPe32Plus = 0x20B;  // IMAGE_NT_OPTIONAL_HDR64_MAGIC
inline constexpr std::uint16_t kMagicPe32 = 0x10B;      // IMAGE_NT_OPTIONAL_HDR32_MAGIC

struct PeImage {
  std::uint16_t machine = 0;         // the file header's Machine
  std::uint16_t magic = 0;           // the optional header's Magic
  std::vector<std::string> exports;  // the names the export table lists, in its order

  bool Is64Bit() const { return Is64BitFor(kMachineAmd64); }
  // A 64-bit image of the machine `native`, the only kind that the native Explorer there loads.
  bool Is64BitFor(std::uint16_t native) const { return machine == native && magic == kMagicPe32Plus; }
  bool Is32Bit() const { return machine == kMachineI386 && magic == kMagicPe32; }
};

// The name Windows gives a machine: "x64", "x86", "ARM64", else "machine 0x01C4".
std::string MachineName(std::uint16_t machine);

// Why the native Explorer of the machine `native` cannot load an image that is not
// Is64BitFor(native): "is a 32-bit image (x86)", "is built for another machine (ARM64)" (or x64, or
// machine 0x01C4), or, for an image of that machine without the 64-bit optional header, "is no 64-bit
// image".
std::string ForeignImageText(const PeImage& image, std::uint16_t native = kMachineAmd64);

// The image's machine, optional-header kind and export names; nothing when the bytes are no PE
// image or a header or the export table reaches outside them. Reads nothing outside `bytes`.
std::optional<PeImage> ReadPeImage(std::span<const std::uint8_t> bytes);

}  // namespace torvo::doctor
