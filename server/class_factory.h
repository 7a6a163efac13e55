#pragma once
// The class factory: creates handler objects, aggregated for IID_IUnknown only, and holds the
// module for LockServer callers.
#include "server/com_object_root.h"

namespace torvo::server {

using ObjectCreator = HRESULT (*)(IUnknown* outer, REFIID iid, void** out);

class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComMultiThreadModel> {
 public:
  virtual ~CComClassFactory() = default;

  static const InterfaceEntry<CComClassFactory>* InterfaceMap();

  void SetCreator(ObjectCreator creator) { m_pfnCreateInstance = creator; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ObjectCreator m_pfnCreateInstance = nullptr;
};

// Creates a cached factory bound to `creator` and asks it for `iid`; the class table keeps it.
HRESULT CreateCachedClassFactory(ObjectCreator creator, REFIID iid, void** out);

}  // namespace torvo::server
