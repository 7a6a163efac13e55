#include "tools/doctor/reads/server_file.h"

#include "platform/win32/com_ptr.h"

namespace torvo::doctor {

namespace {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

ServerFile::ServerFile(const std::wstring& path) : module_(::LoadLibraryW(path.c_str())) {
  if (!module_) loaded_ = HRESULT_FROM_WIN32(::GetLastError());
}

ServerFile::~ServerFile() {
  if (!module_) return;
  const auto canUnload = Export<CanUnloadNowFn>(module_.Get(), "DllCanUnloadNow");
  if (canUnload == nullptr || canUnload() != S_OK) module_.Release();
}

HRESULT ServerFile::Create(REFCLSID clsid, REFIID iid, void** object) const {
  *object = nullptr;
  if (!module_) return loaded_;
  const auto getClassObject = Export<GetClassObjectFn>(module_.Get(), "DllGetClassObject");
  if (getClassObject == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  win32::ComPtr<IClassFactory> factory;
  const HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.PutVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, iid, object);
}

}  // namespace torvo::doctor
