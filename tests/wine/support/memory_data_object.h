#pragma once
// A data object of the test's own: it answers the drop-file request with a copy of a given block
// in a chosen medium, and counts the references that the media it handed out still hold.
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <vector>

namespace torvo::wine {

// A global memory block holding the bytes; the caller frees it (GlobalFree).
HGLOBAL GlobalBlockOf(const std::vector<std::uint8_t>& bytes);

class MemoryDataObject : public IDataObject {
 public:
  // `tymed` is the medium GetData answers with: TYMED_HGLOBAL (the object's own block, handed out
  // every time), TYMED_ISTREAM (a stream over a copy) or TYMED_FILE (a file name). Every medium
  // names this object as the one to release, so a medium not released shows as a reference held.
  MemoryDataObject(const std::vector<std::uint8_t>& block, DWORD tymed)
      : block_(block), global_(GlobalBlockOf(block)), tymed_(tymed) {}
  MemoryDataObject(const MemoryDataObject&) = delete;
  MemoryDataObject& operator=(const MemoryDataObject&) = delete;
  virtual ~MemoryDataObject() { ::GlobalFree(global_); }

  HGLOBAL Block() const { return global_; }

  // References held besides the test's own.
  LONG HeldByMedia() const { return count_ - 1; }
  int getDataCalls = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(::InterlockedIncrement(&count_)); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(::InterlockedDecrement(&count_)); }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  STDMETHOD(GetDataHere)(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHOD(QueryGetData)(FORMATETC*) override { return E_NOTIMPL; }
  STDMETHOD(GetCanonicalFormatEtc)(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  STDMETHOD(SetData)(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHOD(EnumFormatEtc)(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHOD(DAdvise)(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(DUnadvise)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(EnumDAdvise)(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  std::vector<std::uint8_t> block_;
  HGLOBAL global_;
  DWORD tymed_;
  LONG count_ = 1;  // the test's own reference; the object lives on the test's stack
};

}  // namespace torvo::wine
