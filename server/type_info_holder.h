#pragma once
// The type information of a dual interface, loaded once per process from the registered type
// library, with a cache of member names for the common one-name GetIDsOfNames.
#include <windows.h>
#include <oaidl.h>

namespace torvo::server {

class CComTypeInfoHolder {
 public:
  struct stringdispid {
    BSTR bstr;
    int nLen;
    DISPID id;
  };

  const GUID* m_pguid;
  const GUID* m_plibid;
  WORD m_wMajor;
  WORD m_wMinor;
  ITypeInfo* m_pInfo;
  stringdispid* m_pMap;
  int m_nCount;

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
  // Loads what is missing under the module lock: the type information, then the names cache.
  HRESULT EnsureLoaded(LCID lcid);
  HRESULT LoadTypeInfo(LCID lcid);
  HRESULT LoadNameCache();
};

}  // namespace torvo::server
