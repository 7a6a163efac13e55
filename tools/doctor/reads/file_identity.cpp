#include "tools/doctor/reads/file_identity.h"

#include <windows.h>

#include <vector>

#include "platform/win32/unique_handle.h"
#include "tools/doctor/doctor_text.h"

namespace torvo::doctor {

namespace {

// The volume and file index of an existing file or folder; nothing when it cannot be opened.
std::optional<BY_HANDLE_FILE_INFORMATION> Identity(const std::wstring& path) {
  const win32::UniqueFile file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information{};
  if (!file || !::GetFileInformationByHandle(file.Get(), &information)) return std::nullopt;
  return information;
}

}  // namespace

bool SameFile(const std::wstring& a, const std::wstring& b) {
  const auto first = Identity(a);
  const auto second = Identity(b);
  if (!first || !second) return SameName(FullPath(a), FullPath(b));
  return first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
         first->nFileIndexHigh == second->nFileIndexHigh && first->nFileIndexLow == second->nFileIndexLow;
}

std::optional<std::uint64_t> FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<std::uint8_t> record(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, record.data())) return std::nullopt;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) {
    return std::nullopt;
  }
  return static_cast<std::uint64_t>(fixed->dwFileVersionMS) << 32 | fixed->dwFileVersionLS;
}

std::wstring VersionText(std::uint64_t version) {
  std::wstring text;
  for (int shift = 48; shift >= 0; shift -= 16) {
    text += std::to_wstring((version >> shift) & 0xFFFF) + (shift > 0 ? L"." : L"");
  }
  return text;
}

}  // namespace torvo::doctor
