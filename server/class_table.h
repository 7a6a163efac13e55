#pragma once
// The class table: the server's one class entry and the lock that guards the creation of its
// cached class factory.
#include "platform/win32/com_ptr.h"
#include "server/class_factory.h"
#include "server/critical_section.h"

namespace torvo::server {

using FactoryCreator = HRESULT (*)(ObjectCreator creator, REFIID iid, void** out);
using RegistryUpdater = HRESULT (*)(bool registerFlag);

struct ClassEntry {
  const CLSID* pclsid;
  RegistryUpdater pfnUpdateRegistry;
  FactoryCreator pfnGetClassObject;
  ObjectCreator pfnCreateInstance;
  win32::ComPtr<IUnknown> pCachedFactory;  // null until first requested; only touched under the lock
};

class ClassTable {
 public:
  explicit ClassTable(ClassEntry entry);
  ClassTable(const ClassTable&) = delete;
  ClassTable& operator=(const ClassTable&) = delete;
  // Releases the cached factory and deletes the lock.
  ~ClassTable();

  // The class object of `clsid`, created and cached on first request.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
  ClassEntry& Entry() { return m_entry; }

 private:
  UINT m_initialized = 0;
  ClassEntry m_entry;
  CComCriticalSection m_csObjMap;
};

}  // namespace torvo::server
