#pragma once
// The module object: the lock count that keeps the DLL loaded, the module lock, the termination
// list run when the DLL is unloaded, and the global interface table.
#include <windows.h>
#include <objidl.h>

#include <memory>

#include "platform/win32/com_ptr.h"
#include "server/critical_section.h"

namespace torvo::server {

using TerminationCallback = void (*)(DWORD_PTR argument);

struct TerminationEntry {
  TerminationCallback callback;
  DWORD_PTR argument;
  std::unique_ptr<TerminationEntry> next;
};

struct _ATL_MODULE70 {
  UINT m_initialized = 0;                             // nonzero once the module lock is set up
  LONG m_nLockCnt = 0;                                // changed only by interlocked operations
  std::unique_ptr<TerminationEntry> m_pTermFuncs;     // newest first
  CComCriticalSection m_csStaticDataInitAndTypeInfo;  // re-entrant module lock
};

class CAtlModule : public _ATL_MODULE70 {
 public:
  // Sets the current-module pointer and the module lock up; a failure is kept in the init-failed flag.
  CAtlModule();
  CAtlModule(const CAtlModule&) = delete;
  CAtlModule& operator=(const CAtlModule&) = delete;
  virtual ~CAtlModule();

  virtual LONG Lock();
  virtual LONG Unlock();
  virtual LONG GetLockCount();
  virtual HRESULT GetGITPtr(IGlobalInterfaceTable** git);

  // Adds a callback that the module's termination runs, newest first. Takes the module lock.
  HRESULT AddTermFunc(TerminationCallback callback, DWORD_PTR argument);
  // Runs and empties the termination list, releases the interface table, deletes the module lock.
  void Term();

  CComCriticalSection& ModuleLock() { return m_csStaticDataInitAndTypeInfo; }

 protected:
  // Kept for modules that share interfaces across apartments; this DLL itself never asks for it.
  win32::ComPtr<IGlobalInterfaceTable> m_pGIT;
};

// The one module object of the process, set by its constructor.
extern CAtlModule* g_currentModule;

// Set when one of the server's locks could not be set up at load; the entry point then refuses it.
extern bool g_initFailed;

template <class T>
class CAtlModuleT : public CAtlModule {};

template <class T>
class CAtlDllModuleT : public CAtlModuleT<T> {};

}  // namespace torvo::server
