#include "server/class_table.h"

#include <atomic>

#include "server/module.h"

namespace torvo::server {

ClassTable::ClassTable(HINSTANCE typeLibraryModule, ClassEntry entry)
    : m_hInstTypeLib(typeLibraryModule), m_entry(entry) {
  if (!m_csObjMap.Init()) {
    g_initFailed = true;
    return;
  }
  m_initialized = 1;
}

ClassTable::~ClassTable() {
  if (m_initialized == 0) return;
  if (m_entry.pCachedFactory != nullptr) m_entry.pCachedFactory->Release();
  m_entry.pCachedFactory = nullptr;
  m_csObjMap.Term();
  m_initialized = 0;
}

HRESULT ClassTable::GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (m_initialized == 0) return E_UNEXPECTED;
  if (m_entry.pfnGetClassObject == nullptr || !::IsEqualCLSID(clsid, *m_entry.pclsid)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  HRESULT hr = S_OK;
  IUnknown* factory = CachedFactory();
  if (factory == nullptr) {
    CriticalSectionGuard guard(m_csObjMap);
    factory = CachedFactory();
    if (factory == nullptr) {
      // Created into a local first: the slot is read without the lock, so the factory goes into it
      // only once its creator has returned it whole, holding the table's reference.
      hr = m_entry.pfnGetClassObject(m_entry.pfnCreateInstance, IID_IUnknown, reinterpret_cast<void**>(&factory));
      if (factory != nullptr) PublishFactory(factory);
    }
  }
  if (factory != nullptr) hr = factory->QueryInterface(iid, out);
  if (*out == nullptr && hr == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
  return hr;
}

IUnknown* ClassTable::CachedFactory() {
  return std::atomic_ref<IUnknown*>(m_entry.pCachedFactory).load(std::memory_order_acquire);
}

void ClassTable::PublishFactory(IUnknown* factory) {
  std::atomic_ref<IUnknown*>(m_entry.pCachedFactory).store(factory, std::memory_order_release);
}

}  // namespace torvo::server
