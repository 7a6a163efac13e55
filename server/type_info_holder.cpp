#include "server/type_info_holder.h"

#include <new>

#include "server/module.h"

namespace torvo::server {

HRESULT CComTypeInfoHolder::EnsureLoaded(LCID lcid) {
  if (m_pInfo && m_pMap) return S_OK;
  CriticalSectionGuard guard(g_currentModule->ModuleLock());
  HRESULT hr = S_OK;
  if (!m_pInfo) hr = LoadTypeInfo(lcid);
  if (m_pInfo && !m_pMap) hr = LoadNameCache();
  return hr;
}

HRESULT CComTypeInfoHolder::LoadTypeInfo(LCID lcid) {
  win32::ComPtr<ITypeLib> library;
  HRESULT hr = ::LoadRegTypeLib(*m_plibid, m_wMajor, m_wMinor, lcid, library.Put());
  if (FAILED(hr)) return hr;
  win32::ComPtr<ITypeInfo> info;
  hr = library->GetTypeInfoOfGuid(*m_pguid, info.Put());
  if (FAILED(hr)) return hr;
  win32::ComPtr<ITypeInfo2> info2;
  if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, info2.PutVoid()))) info.Reset(info2.Detach());
  m_pInfo = std::move(info);
  g_currentModule->AddTermFunc(&CComTypeInfoHolder::Cleanup, reinterpret_cast<DWORD_PTR>(this));
  return hr;
}

HRESULT CComTypeInfoHolder::LoadNameCache() {
  TYPEATTR* attributes = nullptr;
  HRESULT hr = m_pInfo->GetTypeAttr(&attributes);
  if (FAILED(hr)) return hr;
  const int count = attributes->cFuncs;
  if (count > 0) {
    std::unique_ptr<NameEntry[]> names(new (std::nothrow) NameEntry[count]);
    if (!names) {
      m_pInfo->ReleaseTypeAttr(attributes);
      return E_OUTOFMEMORY;
    }
    for (int i = 0; i < count; ++i) {
      FUNCDESC* function = nullptr;
      if (FAILED(m_pInfo->GetFuncDesc(i, &function))) continue;
      m_pInfo->GetDocumentation(function->memid, names[i].name.Put(), nullptr, nullptr, nullptr);
      names[i].id = function->memid;
      m_pInfo->ReleaseFuncDesc(function);
    }
    m_pMap = std::move(names);
    m_nCount = count;
  }
  m_pInfo->ReleaseTypeAttr(attributes);
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetTI(LCID lcid, ITypeInfo** info) {
  const HRESULT hr = EnsureLoaded(lcid);
  *info = m_pInfo.Get();
  if (!m_pInfo) return hr;
  m_pInfo->AddRef();
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return GetTI(lcid, info);
}

HRESULT CComTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  if (names == nullptr) return E_INVALIDARG;
  if (ids == nullptr) return E_POINTER;
  HRESULT hr = EnsureLoaded(lcid);
  if (!m_pInfo) return hr;
  if (m_pMap && count == 1) {
    const UINT length = static_cast<UINT>(::lstrlenW(names[0]));
    for (int i = m_nCount - 1; i >= 0; --i) {
      const BSTR name = m_pMap[i].name.Get();
      if (name != nullptr && ::SysStringLen(name) == length &&
          ::memcmp(name, names[0], sizeof(OLECHAR) * length) == 0) {
        ids[0] = m_pMap[i].id;
        return S_OK;
      }
    }
  }
  return m_pInfo->GetIDsOfNames(names, count, ids);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* object, DISPID member, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  const HRESULT hr = EnsureLoaded(lcid);
  if (!m_pInfo) return hr;
  return m_pInfo->Invoke(object, member, flags, params, result, exception, argumentError);
}

void CComTypeInfoHolder::Cleanup(DWORD_PTR holder) {
  auto* self = reinterpret_cast<CComTypeInfoHolder*>(holder);
  self->m_pInfo.Reset();
  self->m_pMap.reset();
  self->m_nCount = 0;
}

}  // namespace torvo::server
