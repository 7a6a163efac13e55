#include "server/type_info_holder.h"

#include <new>

#include "server/module.h"

namespace torvo::server {

HRESULT CComTypeInfoHolder::EnsureLoaded(LCID lcid) {
  if (m_pInfo != nullptr && m_pMap != nullptr) return S_OK;
  CriticalSectionGuard guard(g_currentModule->ModuleLock());
  HRESULT hr = S_OK;
  if (m_pInfo == nullptr) hr = LoadTypeInfo(lcid);
  if (m_pInfo != nullptr && m_pMap == nullptr) hr = LoadNameCache();
  return hr;
}

HRESULT CComTypeInfoHolder::LoadTypeInfo(LCID lcid) {
  ITypeLib* library = nullptr;
  HRESULT hr = ::LoadRegTypeLib(*m_plibid, m_wMajor, m_wMinor, lcid, &library);
  if (FAILED(hr)) return hr;
  ITypeInfo* info = nullptr;
  hr = library->GetTypeInfoOfGuid(*m_pguid, &info);
  if (SUCCEEDED(hr)) {
    ITypeInfo2* info2 = nullptr;
    if (SUCCEEDED(info->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&info2)))) {
      info->Release();
      info = info2;
    }
    m_pInfo = info;
    g_currentModule->AddTermFunc(&CComTypeInfoHolder::Cleanup, reinterpret_cast<DWORD_PTR>(this));
  }
  library->Release();
  return hr;
}

HRESULT CComTypeInfoHolder::LoadNameCache() {
  TYPEATTR* attributes = nullptr;
  HRESULT hr = m_pInfo->GetTypeAttr(&attributes);
  if (FAILED(hr)) return hr;
  const int count = attributes->cFuncs;
  if (count > 0) {
    m_pMap = new (std::nothrow) stringdispid[count]();
    if (m_pMap == nullptr) {
      m_pInfo->ReleaseTypeAttr(attributes);
      return E_OUTOFMEMORY;
    }
    for (int i = 0; i < count; ++i) {
      FUNCDESC* function = nullptr;
      if (FAILED(m_pInfo->GetFuncDesc(i, &function))) continue;
      BSTR name = nullptr;
      m_pInfo->GetDocumentation(function->memid, &name, nullptr, nullptr, nullptr);
      m_pMap[i] = {name, name != nullptr ? static_cast<int>(::SysStringLen(name)) : 0, function->memid};
      m_pInfo->ReleaseFuncDesc(function);
    }
    m_nCount = count;
  }
  m_pInfo->ReleaseTypeAttr(attributes);
  return S_OK;
}

HRESULT CComTypeInfoHolder::GetTI(LCID lcid, ITypeInfo** info) {
  const HRESULT hr = EnsureLoaded(lcid);
  *info = m_pInfo;
  if (m_pInfo != nullptr) {
    m_pInfo->AddRef();
    return S_OK;
  }
  return hr;
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
  if (m_pInfo == nullptr) return hr;
  if (m_pMap != nullptr && count == 1) {
    const int length = static_cast<int>(::lstrlenW(names[0]));
    for (int i = m_nCount - 1; i >= 0; --i) {
      if (m_pMap[i].bstr != nullptr && m_pMap[i].nLen == length &&
          ::memcmp(m_pMap[i].bstr, names[0], sizeof(OLECHAR) * length) == 0) {
        ids[0] = m_pMap[i].id;
        return S_OK;
      }
    }
  }
  return m_pInfo->GetIDsOfNames(names, count, ids);
}

HRESULT CComTypeInfoHolder::Invoke(IDispatch* object, DISPID member, REFIID, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) {
  const HRESULT hr = EnsureLoaded(lcid);
  if (m_pInfo == nullptr) return hr;
  return m_pInfo->Invoke(object, member, flags, params, result, exception, argumentError);
}

void CComTypeInfoHolder::Cleanup(DWORD_PTR holder) {
  auto* self = reinterpret_cast<CComTypeInfoHolder*>(holder);
  if (self->m_pInfo != nullptr) self->m_pInfo->Release();
  self->m_pInfo = nullptr;
  for (int i = 0; i < self->m_nCount; ++i) ::SysFreeString(self->m_pMap[i].bstr);
  delete[] self->m_pMap;
  self->m_pMap = nullptr;
  self->m_nCount = 0;
}

}  // namespace torvo::server
