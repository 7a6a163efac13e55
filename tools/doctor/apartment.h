#pragma once
// COM on this thread as a single-threaded apartment, as Explorer's threads have it, for a scope.
// Leaving the last one unloads the servers COM loaded.
#include <objbase.h>

namespace torvo::doctor {

class Apartment {
 public:
  Apartment() : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
  ~Apartment() {
    if (initialised_) ::CoUninitialize();
  }

 private:
  bool initialised_;
};

}  // namespace torvo::doctor
