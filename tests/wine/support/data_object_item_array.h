#pragma once
// An item array as Windows hands one to an Explorer command: Wine's own array for the items, and
// BindToHandler(BHID_DataObject) answered with the items' data object, which Wine's arrays do not
// offer (E_NOTIMPL). It counts the items asked for one by one.
#include <windows.h>
#include <shobjidl.h>

#include "platform/win32/com_ptr.h"

namespace torvo::wine {

class DataObjectItemArray : public IShellItemArray {
 public:
  // `dataObject` null: the array offers no data object, as Wine's own.
  DataObjectItemArray(IShellItemArray* items, IDataObject* dataObject);
  DataObjectItemArray(const DataObjectItemArray&) = delete;
  DataObjectItemArray& operator=(const DataObjectItemArray&) = delete;
  virtual ~DataObjectItemArray() = default;

  int itemReads = 0;  // GetItemAt calls

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  // Lives on the test's stack: the count only shows what the server still holds.
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(::InterlockedIncrement(&count_)); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(::InterlockedDecrement(&count_)); }

  HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx* context, REFGUID handler, REFIID iid, void** out) override;
  STDMETHOD(GetPropertyStore)(GETPROPERTYSTOREFLAGS flags, REFIID iid, void** out) override {
    return items_->GetPropertyStore(flags, iid, out);
  }
  STDMETHOD(GetPropertyDescriptionList)(REFPROPERTYKEY key, REFIID iid, void** out) override {
    return items_->GetPropertyDescriptionList(key, iid, out);
  }
  STDMETHOD(GetAttributes)(SIATTRIBFLAGS flags, SFGAOF mask, SFGAOF* attributes) override {
    return items_->GetAttributes(flags, mask, attributes);
  }
  STDMETHOD(GetCount)(DWORD* count) override { return items_->GetCount(count); }
  STDMETHOD(GetItemAt)(DWORD index, IShellItem** item) override {
    ++itemReads;
    return items_->GetItemAt(index, item);
  }
  STDMETHOD(EnumItems)(IEnumShellItems** items) override { return items_->EnumItems(items); }

 private:
  IShellItemArray* items_;
  IDataObject* dataObject_;
  LONG count_ = 1;  // the test's own reference
};

}  // namespace torvo::wine
