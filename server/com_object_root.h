#pragma once
// The reference count and interface lookup that every COM object of the server is built on.
#include <windows.h>
#include <unknwn.h>

namespace torvo::server {

// Plain counting for objects used from one apartment only.
struct CComSingleThreadModel {
  static LONG Increment(LONG* value) { return ++*value; }
  static LONG Decrement(LONG* value) { return --*value; }
};

// Interlocked counting for objects any thread may call.
struct CComMultiThreadModel {
  static LONG Increment(LONG* value) { return ::InterlockedIncrement(value); }
  static LONG Decrement(LONG* value) { return ::InterlockedDecrement(value); }
};

// One row of an interface map: the IID and how to reach that interface from the object.
template <class T>
struct InterfaceEntry {
  const IID* iid;
  void* (*cast)(T* object);
};

// Casts an object to one of its interfaces, as an interface map entry.
template <class T, class Interface>
void* InterfaceOf(T* object) {
  return static_cast<Interface*>(object);
}

// Parked count of an object being destroyed: reference calls made during teardown cannot bring it
// back to 0 and start a second destruction.
inline constexpr LONG kDestroyingCount = -(LONG_MAX / 2);  // 0xC0000001

template <class ThreadModel>
class CComObjectRootEx {
 public:
  CComObjectRootEx() : m_dwRef(0) {}
  CComObjectRootEx(const CComObjectRootEx&) = delete;
  CComObjectRootEx& operator=(const CComObjectRootEx&) = delete;

  LONG InternalAddRef() { return ThreadModel::Increment(&m_dwRef); }
  LONG InternalRelease() { return ThreadModel::Decrement(&m_dwRef); }
  void ParkCountForDestruction() { m_dwRef = kDestroyingCount; }
  LONG CurrentCount() const { return m_dwRef; }

  // The aggregated form keeps the controlling outer object in the count's place.
  void SetOuterUnknown(IUnknown* outer) { m_pOuterUnknown = outer; }
  IUnknown* OuterUnknown() const { return m_pOuterUnknown; }

  HRESULT FinalConstruct() { return S_OK; }

  // Looks `iid` up in T's interface map: IID_IUnknown gives the first row's pointer; the pointer
  // handed out is AddRef'd through its own table (so an aggregated object counts on its outer).
  template <class T>
  static HRESULT InternalQueryInterface(T* object, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const InterfaceEntry<T>* entries = T::InterfaceMap();
    if (::IsEqualIID(iid, IID_IUnknown)) {
      *out = entries[0].cast(object);
    } else {
      for (const InterfaceEntry<T>* e = entries; e->iid != nullptr; ++e) {
        if (::IsEqualIID(iid, *e->iid)) {
          *out = e->cast(object);
          break;
        }
      }
    }
    if (*out == nullptr) return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
  }

 protected:
  union {
    LONG m_dwRef;
    IUnknown* m_pOuterUnknown;
  };
};

}  // namespace torvo::server
