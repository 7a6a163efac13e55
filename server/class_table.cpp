#include "server/class_table.h"

#include <utility>

#include "server/module.h"

namespace torvo::server {

ClassTable::ClassTable(ClassEntry entry) : m_entry(std::move(entry)) {
  if (!m_csObjMap.Init()) {
    g_initFailed = true;
    return;
  }
  m_initialized = 1;
}

ClassTable::~ClassTable() {
  if (m_initialized == 0) return;
  m_entry.pCachedFactory.Reset();
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
  // The slot is read and filled under the lock only: a factory becomes visible to other threads
  // only once its creator has returned it whole, holding the table's reference.
  CriticalSectionGuard guard(m_csObjMap);
  HRESULT hr = S_OK;
  if (!m_entry.pCachedFactory) {
    win32::ComPtr<IUnknown> created;
    hr = m_entry.pfnGetClassObject(m_entry.pfnCreateInstance, IID_IUnknown, created.PutVoid());
    m_entry.pCachedFactory = std::move(created);
  }
  if (m_entry.pCachedFactory) hr = m_entry.pCachedFactory->QueryInterface(iid, out);
  if (*out == nullptr && hr == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
  return hr;
}

}  // namespace torvo::server
