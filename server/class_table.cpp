#include "server/class_table.h"

#include <utility>

#include "server/module.h"

namespace torvo::server {

ClassTable::ClassTable(std::span<ClassEntry> entries) : m_entries(entries) {
  if (!m_csObjMap.Init()) {
    g_initFailed = true;
    return;
  }
  m_initialized = 1;
}

ClassTable::~ClassTable() {
  if (m_initialized == 0) return;
  for (ClassEntry& entry : m_entries) entry.pCachedFactory.Reset();
  m_csObjMap.Term();
  m_initialized = 0;
}

ClassEntry* ClassTable::Find(REFCLSID clsid) {
  for (ClassEntry& entry : m_entries) {
    if (entry.pfnGetClassObject != nullptr && ::IsEqualCLSID(clsid, *entry.pclsid)) return &entry;
  }
  return nullptr;
}

HRESULT ClassTable::GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (m_initialized == 0) return E_UNEXPECTED;
  ClassEntry* entry = Find(clsid);
  if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  // The slot is read and filled under the lock only: a factory becomes visible to other threads
  // only once its creator has returned it whole, holding the table's reference.
  CriticalSectionGuard guard(m_csObjMap);
  HRESULT hr = S_OK;
  if (!entry->pCachedFactory) {
    win32::ComPtr<IUnknown> created;
    hr = entry->pfnGetClassObject(entry->pfnCreateInstance, IID_IUnknown, created.PutVoid());
    entry->pCachedFactory = std::move(created);
  }
  if (entry->pCachedFactory) hr = entry->pCachedFactory->QueryInterface(iid, out);
  if (*out == nullptr && hr == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
  return hr;
}

}  // namespace torvo::server
