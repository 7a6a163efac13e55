#include "server/class_factory.h"

#include "common/com_boundary.h"
#include "server/com_objects.h"

namespace torvo::server {

const InterfaceEntry<CComClassFactory>* CComClassFactory::InterfaceMap() {
  static const InterfaceEntry<CComClassFactory> entries[] = {
      {&IID_IClassFactory, &InterfaceOf<CComClassFactory, IClassFactory>},
      {nullptr, nullptr},
  };
  return entries;
}

HRESULT CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  return AtComBoundary([&]() -> HRESULT {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr && !::IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return m_pfnCreateInstance(outer, iid, out);
  });
}

HRESULT CComClassFactory::LockServer(BOOL lock) {
  if (lock) {
    g_currentModule->Lock();
  } else {
    g_currentModule->Unlock();
  }
  return S_OK;
}

HRESULT CreateCachedClassFactory(ObjectCreator creator, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* factory = new (std::nothrow) CComObjectCached<CComClassFactory>();
  if (factory == nullptr) return E_OUTOFMEMORY;
  factory->SetCreator(creator);
  const HRESULT hr = factory->QueryInterface(iid, out);
  if (FAILED(hr)) delete factory;
  return hr;
}

}  // namespace torvo::server
