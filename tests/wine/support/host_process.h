#pragma once
// What Explorer hands the handlers it hosts: a reference on its process (SHSetInstanceExplorer),
// which work that outlives a call holds until it ends. Set for the owner's lifetime.
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

  // The references that work of the handler's holds now.
  ULONG Holders() const { return process_.count; }

 private:
  // shell32's SHSetInstanceExplorer is exported by its ordinal only.
  static void Set(IUnknown* process) {
    using SetFn = void(WINAPI*)(IUnknown*);
    const auto set = reinterpret_cast<SetFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"shell32.dll"), MAKEINTRESOURCEA(176))));
    if (set != nullptr) set(process);
  }

  CountedUnknown process_;
};

}  // namespace torvo::wine
