#pragma once
// IDispatch of a dual interface, answered from its registered type library.
#include "common/com_boundary.h"
#include "server/type_info_holder.h"

namespace torvo::server {

template <class T, const IID* piid, const GUID* plibid, WORD wMajor = 1, WORD wMinor = 0,
          class Holder = CComTypeInfoHolder>
class IDispatchImpl : public T {
 public:
  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT index, LCID lcid, ITypeInfo** info) override {
    return AtComBoundary([&] { return _tih.GetTypeInfo(index, lcid, info); });
  }
  STDMETHOD(GetIDsOfNames)(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return AtComBoundary([&] { return _tih.GetIDsOfNames(iid, names, count, lcid, ids); });
  }
  STDMETHOD(Invoke)
  (DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
   UINT* argumentError) override {
    return AtComBoundary(
        [&] { return _tih.Invoke(this, member, iid, lcid, flags, params, result, exception, argumentError); });
  }

 protected:
  static Holder _tih;
};

// One holder per process for each dual interface, constant-initialised.
template <class T, const IID* piid, const GUID* plibid, WORD wMajor, WORD wMinor, class Holder>
constinit Holder IDispatchImpl<T, piid, plibid, wMajor, wMinor, Holder>::_tih{piid, plibid, wMajor, wMinor};

}  // namespace torvo::server
