#pragma once
// The type information of a dual interface, loaded once per process from the registered type
// library, with a cache of member names for the common one-name GetIDsOfNames.
#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "platform/win32/bstr.h"
#include "platform/win32/com_ptr.h"

namespace torvo::server {

class CComTypeInfoHolder {
 public:
  // Constant-initialised as a static object, so it outlives the module termination that cleans it.
  constexpr CComTypeInfoHolder(const GUID* guid, const GUID* libid, WORD major, WORD minor)
      : m_pguid(guid), m_plibid(libid), m_wMajor(major), m_wMinor(minor) {}
  CComTypeInfoHolder(const CComTypeInfoHolder&) = delete;
  CComTypeInfoHolder& operator=(const CComTypeInfoHolder&) = delete;

  HRESULT GetTI(LCID lcid, ITypeInfo** info);
  // E_POINTER for a null `info`; otherwise `info` is cleared first, and an index other than 0 is
  // DISP_E_BADINDEX.
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info);
  // E_INVALIDARG for a null `names` array and E_POINTER for a null `ids` array, before anything is
  // loaded or read; otherwise the names cache or the type information answers.
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
  HRESULT Invoke(IDispatch* object, DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argumentError);

  // Releases the type information and frees the names cache; the module's termination runs it.
  static void Cleanup(DWORD_PTR holder);

 private:
  struct NameEntry {
    win32::Bstr name;  // null when the member has none
    DISPID id = 0;
  };

  // Loads what is missing under the module lock: the type information, then the names cache.
  HRESULT EnsureLoaded(LCID lcid);
  HRESULT LoadTypeInfo(LCID lcid);
  HRESULT LoadNameCache();

  const GUID* m_pguid;
  const GUID* m_plibid;
  WORD m_wMajor;
  WORD m_wMinor;
  win32::ComPtr<ITypeInfo> m_pInfo;
  std::unique_ptr<NameEntry[]> m_pMap;  // one entry per function of the interface
  int m_nCount = 0;
};

}  // namespace torvo::server
