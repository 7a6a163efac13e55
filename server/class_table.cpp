#include "server/class_table.h"

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
  if (m_entry.pCachedFactory == nullptr) {
    CriticalSectionGuard guard(m_csObjMap);
    if (m_entry.pCachedFactory == nullptr) {
      hr = m_entry.pfnGetClassObject(m_entry.pfnCreateInstance, IID_IUnknown,
                                     reinterpret_cast<void**>(&m_entry.pCachedFactory));
    }
  }
  if (m_entry.pCachedFactory != nullptr) hr = m_entry.pCachedFactory->QueryInterface(iid, out);
  if (*out == nullptr && hr == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
  return hr;
}

}  // namespace torvo::server
