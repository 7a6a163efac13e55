#include "tools/doctor/reads/native_machine.h"

#include <windows.h>

#include "tools/doctor/reads/pe_image.h"

namespace torvo::doctor {

std::uint16_t NativeMachine() {
  using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Fn>(
      reinterpret_cast<void*>(kernel != nullptr ? ::GetProcAddress(kernel, "IsWow64Process2") : nullptr));
  USHORT process = 0;
  USHORT native = 0;
  if (isWow64Process2 != nullptr && isWow64Process2(::GetCurrentProcess(), &process, &native)) return native;
  SYSTEM_INFO info{};
  ::GetNativeSystemInfo(&info);
  switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_ARM64:
      return kMachineArm64;
    case PROCESSOR_ARCHITECTURE_INTEL:
      return kMachineI386;
    default:
      return kMachineAmd64;
  }
}

}  // namespace torvo::doctor
