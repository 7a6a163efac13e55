#pragma once
// A critical section whose set-up can fail and be reported, as the module's static objects need.
#include <windows.h>

namespace torvo::server {

class CComCriticalSection {
 public:
  CComCriticalSection() = default;
  CComCriticalSection(const CComCriticalSection&) = delete;
  CComCriticalSection& operator=(const CComCriticalSection&) = delete;
  ~CComCriticalSection() { Term(); }

  // Sets the section up; false when the platform cannot.
  bool Init() {
    initialized_ = ::InitializeCriticalSectionAndSpinCount(&section_, 0) != FALSE;
    return initialized_;
  }
  void Term() {
    if (initialized_) ::DeleteCriticalSection(&section_);
    initialized_ = false;
  }
  void Lock() { ::EnterCriticalSection(&section_); }
  void Unlock() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_{};
  bool initialized_ = false;
};

// Holds a critical section for the lifetime of the guard.
class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CComCriticalSection& section) : section_(section) { section_.Lock(); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;
  ~CriticalSectionGuard() { section_.Unlock(); }

 private:
  CComCriticalSection& section_;
};

}  // namespace torvo::server
