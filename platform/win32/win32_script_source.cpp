#include "platform/win32/win32_script_source.h"

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace torvo::win32 {

static_assert(kErrorInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(kErrorResourceTypeNotFound == ERROR_RESOURCE_TYPE_NOT_FOUND);
static_assert(kErrorResourceNameNotFound == ERROR_RESOURCE_NAME_NOT_FOUND);

std::uint32_t Win32ScriptSource::ModuleFileName(char16_t* buffer, std::uint32_t size) {
  return ::GetModuleFileNameW(module_, AsWide(buffer), size);
}

std::int32_t Win32ScriptSource::LastError() { return static_cast<std::int32_t>(::GetLastError()); }

bool Win32ScriptSource::IsRunningExecutable() { return module_ == nullptr || module_ == ::GetModuleHandleW(nullptr); }

std::int32_t Win32ScriptSource::LoadResourceBytes(const char16_t* path, std::uint16_t number, const char16_t* type,
                                                  std::vector<std::uint8_t>& bytes) {
  const UniqueLibrary module(::LoadLibraryExW(AsWide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return static_cast<std::int32_t>(::GetLastError());
  const HRSRC resource = ::FindResourceW(module.Get(), MAKEINTRESOURCEW(number), AsWide(type));
  if (resource == nullptr) return static_cast<std::int32_t>(::GetLastError());
  const HGLOBAL loaded = ::LoadResource(module.Get(), resource);
  if (loaded == nullptr) return static_cast<std::int32_t>(::GetLastError());
  const DWORD size = ::SizeofResource(module.Get(), resource);
  const auto* first = static_cast<const std::uint8_t*>(::LockResource(loaded));
  if (first == nullptr) return static_cast<std::int32_t>(::GetLastError());
  bytes.assign(first, first + size);
  return 0;
}

int Win32ScriptSource::FromThreadAnsi(const std::uint8_t* bytes, int count, char16_t* out, int outUnits) {
  return ::MultiByteToWideChar(CP_THREAD_ACP, 0, reinterpret_cast<const char*>(bytes), count, AsWide(out), outUnits);
}

}  // namespace torvo::win32
