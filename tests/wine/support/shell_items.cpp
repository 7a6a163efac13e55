#include "tests/wine/support/shell_items.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <fstream>

#include "platform/win32/unique_handle.h"

namespace torvo::wine {

namespace {

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, buffer);
  return buffer;
}

using PidlOwner = win32::CoTaskMemory<ITEMIDLIST_ABSOLUTE>;

}  // namespace

ScratchFolder::ScratchFolder(const std::wstring& name) : path_(TempFolder() + name) {
  RemoveTree(path_);
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

std::wstring ScratchFolder::AddFile(const std::wstring& name, const std::string& content) const {
  const std::wstring full = path_ + L"\\" + name;
  WriteFileBytes(full, content);
  return full;
}

std::wstring ScratchFolder::AddFolder(const std::wstring& name) const {
  const std::wstring full = path_ + L"\\" + name;
  ::CreateDirectoryW(full.c_str(), nullptr);
  return full;
}

std::string FileBytes(const std::wstring& path) {
  const win32::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string bytes;
  char chunk[65536];
  DWORD read = 0;
  while (file && ::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  const win32::UniqueFile file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  EXPECT_TRUE(file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      << "cannot write the file";
}

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(path.c_str());
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

win32::ComPtr<IDataObject> ShellDataObjectFor(const std::vector<std::wstring>& paths) {
  std::vector<PidlOwner> absolute(paths.size());
  std::vector<PCUITEMID_CHILD> children;
  win32::ComPtr<IShellFolder> parent;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    HRESULT hr = ::SHParseDisplayName(paths[i].c_str(), nullptr, absolute[i].Put(), 0, nullptr);
    EXPECT_EQ(hr, S_OK) << "SHParseDisplayName";
    if (FAILED(hr)) return {};
    PCUITEMID_CHILD child = nullptr;
    hr = ::SHBindToParent(absolute[i].Get(), IID_IShellFolder, parent.PutVoid(), &child);
    EXPECT_EQ(hr, S_OK) << "SHBindToParent";
    if (FAILED(hr)) return {};
    children.push_back(child);
  }
  win32::ComPtr<IDataObject> dataObject;
  const HRESULT hr = parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(),
                                           IID_IDataObject, nullptr, dataObject.PutVoid());
  EXPECT_EQ(hr, S_OK) << "GetUIObjectOf";
  return dataObject;
}

win32::ComPtr<IShellItemArray> ShellItemArrayFor(const std::vector<std::wstring>& paths) {
  win32::ComPtr<IShellItemArray> items;
  const win32::ComPtr<IDataObject> dataObject = ShellDataObjectFor(paths);
  if (!dataObject) return items;
  EXPECT_EQ(::SHCreateShellItemArrayFromDataObject(dataObject.Get(), IID_IShellItemArray, items.PutVoid()), S_OK);
  return items;
}

}  // namespace torvo::wine
