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
  if (m_pGIT == nullptr) {
    hr = ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&m_pGIT));
    if (FAILED(hr)) return hr;
  }
  m_pGIT->AddRef();
  *git = m_pGIT;
  return hr;
}

HRESULT CAtlModule::AddTermFunc(TerminationCallback callback, DWORD_PTR argument) {
  auto* entry = new (std::nothrow) TerminationEntry{callback, argument, nullptr};
  if (entry == nullptr) return E_OUTOFMEMORY;
  CriticalSectionGuard guard(m_csStaticDataInitAndTypeInfo);
  entry->next = m_pTermFuncs;
  m_pTermFuncs = entry;
  return S_OK;
}

void CAtlModule::Term() {
  if (m_initialized == 0) return;
  while (m_pTermFuncs != nullptr) {
    TerminationEntry* entry = m_pTermFuncs;
    m_pTermFuncs = entry->next;
    entry->callback(entry->argument);
    delete entry;
  }
  if (m_pGIT != nullptr) m_pGIT->Release();
  m_pGIT = nullptr;
  m_csStaticDataInitAndTypeInfo.Term();
  m_initialized = 0;
}

}  // namespace torvo::server
