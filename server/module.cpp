#include "server/module.h"

#include <new>

namespace torvo::server {

CAtlModule* g_currentModule = nullptr;
bool g_initFailed = false;

CAtlModule::CAtlModule() {
  g_currentModule = this;
  if (!m_csStaticDataInitAndTypeInfo.Init()) {
    g_initFailed = true;
    return;
  }
  m_initialized = 1;
}

CAtlModule::~CAtlModule() { Term(); }

LONG CAtlModule::Lock() { return ::InterlockedIncrement(&m_nLockCnt); }
LONG CAtlModule::Unlock() { return ::InterlockedDecrement(&m_nLockCnt); }
LONG CAtlModule::GetLockCount() { return m_nLockCnt; }

HRESULT CAtlModule::GetGITPtr(IGlobalInterfaceTable** git) {
  if (git == nullptr) return E_POINTER;
  HRESULT hr = S_OK;
  if (!m_pGIT) {
    hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                            m_pGIT.PutVoid());
    if (FAILED(hr)) return hr;
  }
  m_pGIT->AddRef();
  *git = m_pGIT.Get();
  return hr;
}

HRESULT CAtlModule::AddTermFunc(TerminationCallback callback, DWORD_PTR argument) {
  std::unique_ptr<TerminationEntry> entry(new (std::nothrow) TerminationEntry{callback, argument, nullptr});
  if (!entry) return E_OUTOFMEMORY;
  CriticalSectionGuard guard(m_csStaticDataInitAndTypeInfo);
  entry->next = std::move(m_pTermFuncs);
  m_pTermFuncs = std::move(entry);
  return S_OK;
}

void CAtlModule::Term() {
  if (m_initialized == 0) return;
  while (m_pTermFuncs) {
    const std::unique_ptr<TerminationEntry> entry = std::move(m_pTermFuncs);
    m_pTermFuncs = std::move(entry->next);
    entry->callback(entry->argument);
  }
  m_pGIT.Reset();
  m_csStaticDataInitAndTypeInfo.Term();
  m_initialized = 0;
}

}  // namespace torvo::server
