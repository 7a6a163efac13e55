#pragma once
// Where registry scripts come from: the module's own file, its resources and the ANSI code page.
#include <cstdint>
#include <vector>

#include "common/status.h"

namespace torvo {

// Win32 codes of a failed resource lookup.
inline constexpr std::int32_t kErrorInvalidParameter = 87;
inline constexpr std::int32_t kErrorResourceTypeNotFound = 1813;
inline constexpr std::int32_t kErrorResourceNameNotFound = 1814;

// The status of a platform call that failed with the last-error `code`; a failure that left no
// code is still reported as one.
constexpr HResult HresultFromLastError(std::int32_t code) { return code == 0 ? kFail : HresultFromWin32(code); }

class ScriptSource {
 public:
  virtual ~ScriptSource() = default;

  // GetModuleFileNameW on the module's handle with a buffer of `size` units: the units written
  // without the terminator; 0 on failure; `size` when the path was cut (the buffer then holds
  // size - 1 units and a terminator).
  virtual std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size) = 0;

  // GetLastError after a failed ModuleFileName or FromThreadAnsi.
  virtual std::int32_t LastError() = 0;

  // Whether the module is the running executable: its handle is null or GetModuleHandleW(null).
  virtual bool IsRunningExecutable() = 0;

  // The bytes of resource `number` of `type` in the module file at `path`, mapped as data only
  // (LoadLibraryExW with LOAD_LIBRARY_AS_DATAFILE, FindResourceW, LoadResource, SizeofResource,
  // FreeLibrary): 0, or the last-error code of the call that failed.
  virtual std::int32_t LoadResourceBytes(const char16_t* path, std::uint16_t number, const char16_t* type,
                                         std::vector<std::uint8_t>& bytes) = 0;

  // MultiByteToWideChar(CP_THREAD_ACP, 0, bytes, count, out, outUnits): the units written, 0 on
  // failure (a count of 0 fails too).
  virtual int FromThreadAnsi(const std::uint8_t* bytes, int count, char16_t* out, int outUnits) = 0;
};

}  // namespace torvo
