#pragma once
// The class table: the server's one class entry and the lock that guards the creation of its
// cached class factory.
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
  IUnknown* pCachedFactory;
};

class ClassTable {
 public:
  ClassTable(HINSTANCE typeLibraryModule, ClassEntry entry);
  ClassTable(const ClassTable&) = delete;
  ClassTable& operator=(const ClassTable&) = delete;
  // Releases the cached factory and deletes the lock.
  ~ClassTable();

  // The class object of `clsid`, created and cached on first request.
  HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
  ClassEntry& Entry() { return m_entry; }
  HINSTANCE TypeLibraryModule() const { return m_hInstTypeLib; }

 private:
  // The cached factory as another thread may have published it; null before that.
  IUnknown* CachedFactory();
  // Stores a whole factory into the entry, for threads that read it without the lock.
  void PublishFactory(IUnknown* factory);

  UINT m_initialized = 0;
  HINSTANCE m_hInstTypeLib;
  ClassEntry m_entry;
  CComCriticalSection m_csObjMap;
};

}  // namespace torvo::server
