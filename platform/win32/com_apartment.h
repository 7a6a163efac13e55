#pragma once
// COM initialised on the calling thread for the owner's lifetime, as a single-threaded apartment:
// the model of the shell's own threads, on which its file operation runs and its handlers are
// created. Leaving the last one unloads the servers COM loaded.
#include <objbase.h>

namespace torvo::win32 {

class SingleThreadedApartment {
 public:
  SingleThreadedApartment()
      : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  SingleThreadedApartment(const SingleThreadedApartment&) = delete;
  SingleThreadedApartment& operator=(const SingleThreadedApartment&) = delete;
  ~SingleThreadedApartment() {
    if (initialised_) ::CoUninitialize();
  }

 private:
  bool initialised_;  // false when the thread had COM in another model: nothing to undo
};

}  // namespace torvo::win32
