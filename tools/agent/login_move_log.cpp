#include "tools/agent/login_move_log.h"

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace torvo::agent {

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// The whole file, or false when it cannot be opened or read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  const win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > 64 * 1024 * 1024) return false;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() && !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
    return false;
  }
  return read == bytes.size();
}

// "record: ..." lines for the list file's records and the "end: ..." line.
std::wstring DescribeListFile(const std::wstring& listFile) {
  std::string bytes;
  if (!ReadWholeFile(listFile, bytes)) return L"end: cannot read the list file\n";
  if (bytes.size() % 2 != 0) return L"end: the list file has an odd number of bytes\n";
  std::wstring lines, record;
  int records = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const auto unit =
        static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    if (unit != L'\n') {
      record += unit;
      continue;
    }
    lines += L"record: " + record + L"\n";
    record.clear();
    ++records;
  }
  if (!record.empty()) return lines + L"end: the last record has no line feed\n";
  return lines + L"end: " + std::to_wstring(records) + L" records\n";
}

void Append(const std::wstring& text) {
  const win32::UniqueFile log(::CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log) return;
  const std::string bytes = Utf8(text);
  DWORD written = 0;
  ::WriteFile(log.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

std::wstring LogPath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(kLogVariable, buffer, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return buffer;
  const DWORD module = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, module);
  path.erase(path.find_last_of(L'\\') + 1);
  return path + kDefaultLogName;
}

void LogLoginMove(const std::wstring& commandLine, const std::wstring& listFile) {
  // One write per block, so that a reader never sees half of one.
  Append(L"command line: " + commandLine + L"\nlist file: " + listFile + L"\n" + DescribeListFile(listFile));
}

void LogLine(const std::wstring& line) { Append(line + L"\n"); }

}  // namespace torvo::agent
