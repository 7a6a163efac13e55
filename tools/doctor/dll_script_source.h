#pragma once
// A DLL's registry scripts as its own registration reads them, for a DLL named by its path
// instead of loaded: resources mapped as data, the thread's ANSI code page, the path as %MODULE%.
#include <string>

#include "platform/win32/win32_script_source.h"

namespace torvo::doctor {

class DllScriptSource : public win32::Win32ScriptSource {
 public:
  explicit DllScriptSource(std::wstring path) : Win32ScriptSource(nullptr), path_(std::move(path)) {}

  // As GetModuleFileNameW answers for the loaded DLL: the path cut to size - 1 units when it does
  // not fit, and then `size`.
  std::uint32_t ModuleFileName(char16_t* buffer, std::uint32_t size) override;
  // A DLL is never the running program.
  bool IsRunningExecutable() override { return false; }

 private:
  std::wstring path_;
};

}  // namespace torvo::doctor
