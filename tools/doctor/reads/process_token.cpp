#include "tools/doctor/reads/process_token.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wine_bench.h"

namespace torvo::doctor {

namespace {

bool StandsForAStandardUser() {
  wchar_t value[2] = {};
  return win32::UnderWine() && ::GetEnvironmentVariableW(L"TORVO_DOCTOR_STANDARD_USER", value, 2) == 1 &&
         value[0] == L'1';
}

}  // namespace

bool RunsElevated() {
  win32::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put())) return true;  // unknown: the careful answer
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) return true;
  return elevation.TokenIsElevated != 0 && !StandsForAStandardUser();
}

}  // namespace torvo::doctor
