#pragma once
// Explorer's reference on its own process (SHSetInstanceExplorer), which it hands the handlers it
// hosts for work that must outlive a call; set for the owner's lifetime.
#include <windows.h>
#include <shlobj.h>

#include "tests/wine/support/counted_unknown.h"

namespace torvo::wine {

class HostProcessReference {
 public:
  HostProcessReference() { Set(&process_); }
  HostProcessReference(const HostProcessReference&) = delete;
  HostProcessReference& operator=(const HostProcessReference&) = delete;
  ~HostProcessReference() { Set(nullptr); }
  ULONG Holders() const { return process_.count; }  // the references the handler's work holds now

 private:
  static void Set(IUnknown* process) {  // shell32 exports it by its ordinal only
    using SetFn = void(WINAPI*)(IUnknown*);
    const FARPROC set = ::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), MAKEINTRESOURCEA(176));
    if (set != nullptr) reinterpret_cast<SetFn>(reinterpret_cast<void*>(set))(process);
  }
  CountedUnknown process_;
};

}  // namespace torvo::wine
