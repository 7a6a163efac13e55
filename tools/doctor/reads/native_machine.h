#pragma once
// The machine Windows runs on natively, whatever the machine the doctor itself was built for (an x64
// doctor runs emulated on Windows on ARM). Explorer is a native process: it loads handlers of this
// machine only.
#include <cstdint>

namespace torvo::doctor {

// IMAGE_FILE_MACHINE_AMD64, _ARM64 or _I386: IsWow64Process2's native machine where Windows has it
// (Windows 10 1511 and later), else GetNativeSystemInfo's processor architecture.
std::uint16_t NativeMachine();

}  // namespace torvo::doctor
