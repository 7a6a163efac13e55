#include "tests/wine/support/data_object_item_array.h"

#include <shlguid.h>

namespace torvo::wine {

DataObjectItemArray::DataObjectItemArray(IShellItemArray* items, IDataObject* dataObject)
    : items_(items), dataObject_(dataObject) {}

HRESULT DataObjectItemArray::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IShellItemArray)) return E_NOINTERFACE;
  *out = static_cast<IShellItemArray*>(this);
  AddRef();
  return S_OK;
}

HRESULT DataObjectItemArray::BindToHandler(IBindCtx* context, REFGUID handler, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (dataObject_ == nullptr || !::IsEqualGUID(handler, BHID_DataObject)) {
    return items_->BindToHandler(context, handler, iid, out);
  }
  return dataObject_->QueryInterface(iid, out);
}

}  // namespace torvo::wine
