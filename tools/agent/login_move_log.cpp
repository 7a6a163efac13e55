#include "tools/agent/login_move_log.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_temp_files.h"
#include "shellmenu/move_list_file.h"

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

// "record: ..." lines for the list file's records and the "end: ..." line; the file is read with
// the mover's reader and the format's rules.
std::wstring DescribeListFile(const std::wstring& listFile) {
  win32::Win32TempFiles files;
  const auto bytes = files.ReadWholeFile(win32::AsUtf16(listFile.c_str()), 64 * 1024 * 1024);
  if (!bytes) return L"end: cannot read the list file\n";
  const std::optional<std::vector<std::u16string>> records = ParseMoveList(*bytes);
  if (!records) return L"end: not a move list (an odd number of bytes, or no line feed after the last record)\n";
  std::wstring lines;
  for (const std::u16string& record : *records)
    lines += L"record: " + std::wstring(win32::AsWide(record.c_str())) + L"\n";
  return lines + L"end: " + std::to_wstring(records->size()) + L" records\n";
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
