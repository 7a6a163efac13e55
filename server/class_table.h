#pragma once
// The class table: the server's class entries and the lock that guards the creation of their
// cached class factories.
#include <span>

#include "platform/win32/com_ptr.h"
#include "server/class_factory.h"
#include "server/critical_section.h"

namespace torvo::server {

using FactoryCreator = HRESULT (*)(ObjectCreator creator, REFIID iid, void** out);
using RegistryUpdater = HRESULT (*)(bool registerFlag);

struct ClassEntry {
  const CLSID* pclsid;
  RegistryUpdater pfnUpdateRegistry;  // null: the class is registered by other means
  FactoryCreator pfnGetClassObject;
  ObjectCreator pfnCreateInstance;
  win32::ComPtr<IUnknown> pCachedFactory;  // null until first requested; only touched under the lock
};

class ClassTable {
 public:
  // The entries live as long as the table.
  explicit ClassTable(std::span<ClassEntry> entries);
  ClassTable(const ClassTable&) = delete;
  ClassTable& operator=(const ClassTable&) = delete;
  // Releases the cached factories and deletes the lock.
  ~ClassTable();

  // The class object of `clsid`, created and cached on first request; CLASS_E_CLASSNOTAVAILABLE
  // for a class the table does not hold.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
  std::span<ClassEntry> Entries() { return m_entries; }

 private:
  // The entry with a factory creator for `clsid`; null when there is none.
  ClassEntry* Find(REFCLSID clsid);

  UINT m_initialized = 0;
  std::span<ClassEntry> m_entries;
  CComCriticalSection m_csObjMap;
};

}  // namespace torvo::server
