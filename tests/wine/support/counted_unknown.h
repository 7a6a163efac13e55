#pragma once
// An object that answers IUnknown only and counts its references, on any thread, for tests that
// watch how many the server holds of an object they hand it.
#include <windows.h>
#include <unknwn.h>

namespace torvo::wine {

class CountedUnknown : public IUnknown {
 public:
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    *out = ::IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(::InterlockedIncrement(Counter())); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(::InterlockedDecrement(Counter())); }

  ULONG count = 0;

 private:
  volatile LONG* Counter() { return reinterpret_cast<volatile LONG*>(&count); }
};

}  // namespace torvo::wine
