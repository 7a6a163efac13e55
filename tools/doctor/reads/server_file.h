#pragma once
// A COM server DLL loaded by its path, as COM loads the file an InprocServer32 names, and asked
// for a class's object through its own DllGetClassObject. (Wine's COM reads no per-user classes,
// and the sparse package, not the registry, registers the Explorer command, so the doctor loads
// the file itself where Explorer would go through COM.)
#include <windows.h>
#include <unknwn.h>

#include <string>

#include "platform/win32/unique_handle.h"

namespace torvo::doctor {

class ServerFile {
 public:
  explicit ServerFile(const std::wstring& path);
  ServerFile(const ServerFile&) = delete;
  ServerFile& operator=(const ServerFile&) = delete;
  // Unloads the DLL once it agrees (DllCanUnloadNow); one that still holds objects stays loaded.
  ~ServerFile();

  // A new object of the class, asked for `iid`: the loading's, DllGetClassObject's or
  // CreateInstance's failure otherwise.
  HRESULT Create(REFCLSID clsid, REFIID iid, void** object) const;

 private:
  win32::UniqueLibrary module_;
  HRESULT loaded_ = S_OK;
};

}  // namespace torvo::doctor
