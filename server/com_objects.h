#pragma once
// The concrete forms of a COM class: stand-alone, aggregated (with its contained part) and the
// cached class factory. Each live object holds one module lock, except the cached factory, which
// locks the module only while someone outside the class table holds it.
#include <new>

#include "server/com_object_root.h"
#include "server/module.h"

namespace torvo::server {

// Lowers an object's own count and destroys the object when it reaches 0; the new count.
template <class Object>
ULONG ReleaseOwnReference(Object* object) {
  const LONG count = object->InternalRelease();
  if (count == 0) delete object;
  return static_cast<ULONG>(count);
}

// A stand-alone object: counts its own references.
template <class Base>
class CComObject final : public Base {
 public:
  CComObject() { g_currentModule->Lock(); }
  ~CComObject() override {
    this->ParkCountForDestruction();
    g_currentModule->Unlock();
  }

  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(this->InternalAddRef()); }
  STDMETHOD_(ULONG, Release)() override { return ReleaseOwnReference(this); }
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    return Base::InternalQueryInterface(static_cast<Base*>(this), iid, out);
  }
};

// The part of an aggregate that carries the class: its IUnknown calls go to the outer object.
template <class Base>
class CComContainedObject final : public Base {
 public:
  explicit CComContainedObject(IUnknown* outer) { this->SetOuterUnknown(outer); }

  STDMETHOD_(ULONG, AddRef)() override { return this->OuterUnknown()->AddRef(); }
  STDMETHOD_(ULONG, Release)() override { return this->OuterUnknown()->Release(); }
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override { return this->OuterUnknown()->QueryInterface(iid, out); }
};

// An aggregatable object: its own inner IUnknown and count, and the contained class.
template <class Base>
class CComAggObject final : public IUnknown, public CComObjectRootEx<typename Base::ThreadModel> {
 public:
  explicit CComAggObject(IUnknown* outer) : m_contained(outer) { g_currentModule->Lock(); }
  virtual ~CComAggObject() {
    this->ParkCountForDestruction();
    g_currentModule->Unlock();
  }

  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(this->InternalAddRef()); }
  STDMETHOD_(ULONG, Release)() override { return ReleaseOwnReference(this); }
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (::IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return Base::InternalQueryInterface(static_cast<Base*>(&m_contained), iid, out);
  }

  Base& Contained() { return m_contained; }

 private:
  CComContainedObject<Base> m_contained;
};

// The class factory as the class table caches it: the table's own reference never locks the
// module; a second reference (a client's) does, for as long as it is held.
template <class Base>
class CComObjectCached final : public Base {
 public:
  ~CComObjectCached() override { this->ParkCountForDestruction(); }

  STDMETHOD_(ULONG, AddRef)() override {
    const LONG count = this->InternalAddRef();
    if (count == 2) g_currentModule->Lock();
    return static_cast<ULONG>(count);
  }
  STDMETHOD_(ULONG, Release)() override {
    const LONG count = this->InternalRelease();
    if (count == 0) {
      delete this;
    } else if (count == 1) {
      g_currentModule->Unlock();
    }
    return static_cast<ULONG>(count);
  }
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    return Base::InternalQueryInterface(static_cast<Base*>(this), iid, out);
  }
};

// Creates a stand-alone object and asks it for `iid`; its count is raised around its final
// construction. `out` is not null and already cleared.
template <class T>
HRESULT CreateStandAloneObject(REFIID iid, void** out) {
  auto* object = new (std::nothrow) CComObject<T>();
  if (object == nullptr) return E_OUTOFMEMORY;
  object->InternalAddRef();
  const HRESULT constructed = object->FinalConstruct();
  object->InternalRelease();
  HRESULT hr = FAILED(constructed) ? constructed : object->QueryInterface(iid, out);
  if (FAILED(hr)) delete object;
  return hr;
}

// Creates an aggregate around `outer` and asks it for `iid`. `out` is not null and already cleared.
template <class T>
HRESULT CreateAggregatedObject(IUnknown* outer, REFIID iid, void** out) {
  auto* aggregate = new (std::nothrow) CComAggObject<T>(outer);
  if (aggregate == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = aggregate->Contained().FinalConstruct();
  if (SUCCEEDED(hr)) hr = aggregate->QueryInterface(iid, out);
  if (FAILED(hr)) delete aggregate;
  return hr;
}

// Binds a class to its CLSID and gives the class table its creation entry: a stand-alone object
// (no outer) or an aggregate (outer given); CLASS_E_NOAGGREGATION for an outer object when the
// class cannot be aggregated.
template <class T, const CLSID* pclsid, bool aggregatable = true>
class CComCoClass {
 public:
  static const CLSID& GetObjectCLSID() { return *pclsid; }
  static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer == nullptr) return CreateStandAloneObject<T>(iid, out);
    if constexpr (aggregatable) {
      return CreateAggregatedObject<T>(outer, iid, out);
    } else {
      return CLASS_E_NOAGGREGATION;
    }
  }
};

}  // namespace torvo::server
