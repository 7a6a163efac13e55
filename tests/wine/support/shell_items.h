#pragma once
// Real files in a scratch folder, and the data object that Wine's shell32 gives for them.
#include <windows.h>
#include <objidl.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "platform/win32/com_ptr.h"

namespace torvo::wine {

// A fresh folder under the user's temporary folder, removed with its contents at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name);
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::wstring& Path() const { return path_; }
  // Creates a file with the given text below the folder and returns its full path.
  std::wstring AddFile(const std::wstring& name, const std::string& content = "data") const;
  std::wstring AddFolder(const std::wstring& name) const;

 private:
  std::wstring path_;
};

// The data object that the shell builds for items of one folder (SHParseDisplayName,
// SHBindToParent, IShellFolder::GetUIObjectOf for IID_IDataObject).
win32::ComPtr<IDataObject> ShellDataObjectFor(const std::vector<std::wstring>& paths);

// The item array that Windows 11's menu hands an Explorer command for the same items
// (SHCreateShellItemArrayFromDataObject over that data object).
win32::ComPtr<IShellItemArray> ShellItemArrayFor(const std::vector<std::wstring>& paths);

// Removes a file or a folder with everything below it; missing paths are no error.
void RemoveTree(const std::wstring& path);
bool PathExists(const std::wstring& path);

// A file's bytes, read while others may still write it (empty when it cannot be opened), and a
// file made anew with the given bytes.
std::string FileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Initialises COM on the calling thread for the lifetime of the object.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) { ::CoInitializeEx(nullptr, model); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() { ::CoUninitialize(); }
};

}  // namespace torvo::wine
