#include "tests/wine/support/memory_data_object.h"

#include <cstring>

namespace torvo::wine {

HGLOBAL GlobalBlockOf(const std::vector<std::uint8_t>& bytes) {
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (block == nullptr) return nullptr;
  std::memcpy(::GlobalLock(block), bytes.data(), bytes.size());
  ::GlobalUnlock(block);
  return block;
}

HRESULT MemoryDataObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDataObject)) return E_NOINTERFACE;
  *out = static_cast<IDataObject*>(this);
  AddRef();
  return S_OK;
}

HRESULT MemoryDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
  ++getDataCalls;
  if (format == nullptr || medium == nullptr) return E_INVALIDARG;
  if (format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
  *medium = STGMEDIUM{tymed_, {nullptr}, nullptr};
  if (tymed_ == TYMED_HGLOBAL) {
    medium->hGlobal = global_;
  } else if (tymed_ == TYMED_ISTREAM) {
    if (FAILED(::CreateStreamOnHGlobal(GlobalBlockOf(block_), TRUE, &medium->pstm))) return E_OUTOFMEMORY;
  } else {
    static constexpr wchar_t kName[] = L"C:\\drop-list.bin";
    medium->lpszFileName = static_cast<LPOLESTR>(::CoTaskMemAlloc(sizeof(kName)));
    std::memcpy(medium->lpszFileName, kName, sizeof(kName));
  }
  // Released through this object: the block stays its own; the stream and the name are freed by
  // ReleaseStgMedium, which then releases this reference.
  medium->pUnkForRelease = static_cast<IDataObject*>(this);
  AddRef();
  return S_OK;
}

}  // namespace torvo::wine
