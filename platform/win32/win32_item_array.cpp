#include "platform/win32/win32_item_array.h"

#include <shlguid.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

namespace torvo::win32 {

DropFiles* Win32ItemArray::DataObject() {
  dropFiles_.reset();
  if (items_ == nullptr) return nullptr;
  // Wine's own arrays answer E_NOTIMPL; Windows' arrays hand out the items' data object.
  if (FAILED(items_->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, dataObject_.PutVoid()))) return nullptr;
  if (!dataObject_) return nullptr;
  return &dropFiles_.emplace(dataObject_.Get());
}

std::uint32_t Win32ItemArray::Count() {
  DWORD count = 0;
  if (items_ == nullptr || FAILED(items_->GetCount(&count))) return 0;
  return count;
}

std::optional<std::u16string> Win32ItemArray::FileSystemPath(std::uint32_t index) {
  ComPtr<IShellItem> item;
  if (FAILED(items_->GetItemAt(index, item.Put()))) return std::nullopt;
  CoTaskMemory<wchar_t> path;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || path.Get() == nullptr) return std::nullopt;
  return std::u16string(AsUtf16(path.Get()));
}

}  // namespace torvo::win32
