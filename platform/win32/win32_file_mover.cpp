#include "platform/win32/win32_file_mover.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "platform/win32/wide.h"

namespace torvo::win32 {

bool Win32FileMover::PathExists(const char16_t* path) { return ::PathFileExistsW(AsWide(path)) != FALSE; }

int Win32FileMover::RunFileOperation(FileOperation& operation) {
  SHFILEOPSTRUCTW record{};
  record.hwnd = reinterpret_cast<HWND>(operation.hwnd);
  record.wFunc = operation.wFunc;
  record.pFrom = AsWide(operation.pFrom);
  record.pTo = AsWide(operation.pTo);
  record.fFlags = operation.fFlags;
  record.fAnyOperationsAborted = operation.fAnyOperationsAborted ? TRUE : FALSE;
  record.hNameMappings = operation.hNameMappings;
  record.lpszProgressTitle = AsWide(operation.lpszProgressTitle);
  const int result = ::SHFileOperationW(&record);
  // The two fields the platform writes back.
  operation.fAnyOperationsAborted = record.fAnyOperationsAborted != FALSE;
  operation.hNameMappings = record.hNameMappings;
  return result;
}

}  // namespace torvo::win32
