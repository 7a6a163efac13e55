#pragma once
// An object that answers IUnknown only and counts its references, for tests that watch how many
// the server holds of an object they hand it.
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
  STDMETHOD_(ULONG, AddRef)() override { return ++count; }
  STDMETHOD_(ULONG, Release)() override { return --count; }

  ULONG count = 0;
};

}  // namespace torvo::wine
