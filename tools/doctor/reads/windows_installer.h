#pragma once
// Windows Installer's msi.dll, loaded when the doctor first asks it something rather than imported:
// under Wine, a program that imports msi.dll and ends right after it starts (a command line it
// cannot read) lost what it had written to its standard output. From System32 only: never a file
// of that name planted beside the doctor (a download folder).
#include <windows.h>
#include <msi.h>

#include "platform/win32/unique_handle.h"

namespace torvo::doctor {

class WindowsInstaller {
 public:
  WindowsInstaller() : module_(::LoadLibraryExW(L"msi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}

  // The exported function of that name and type (decltype of its declaration); null without it.
  template <class Function>
  Function* Find(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(module_.Get(), name)));
  }

 private:
  win32::UniqueLibrary module_;
};

}  // namespace torvo::doctor
