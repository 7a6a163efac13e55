#pragma once
// Non-copyable owners of the platform's handles: each releases its handle exactly once.
#include <windows.h>
#include <objbase.h>

#include <utility>

namespace torvo::win32 {

// Owner of a handle type T that `Traits::Close` releases and `Traits::Invalid()` marks as none.
template <class Traits>
class UniqueOwner {
 public:
  using Handle = typename Traits::Handle;

  UniqueOwner() = default;
  explicit UniqueOwner(Handle handle) : handle_(handle) {}
  UniqueOwner(const UniqueOwner&) = delete;
  UniqueOwner& operator=(const UniqueOwner&) = delete;
  UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.Release()) {}
  UniqueOwner& operator=(UniqueOwner&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueOwner() { Reset(); }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  // The address for an out parameter; releases what is held first.
  Handle* Put() {
    Reset();
    return &handle_;
  }
  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(Handle handle = Traits::Invalid()) {
    if (handle_ != Traits::Invalid()) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {  // threads, processes, events: null is none
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFileW: INVALID_HANDLE_VALUE is none
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFileExW: INVALID_HANDLE_VALUE is none
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};
struct RegKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};
struct LibraryTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};
struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};

// A block of the COM task allocator: strings and item id lists that the shell hands out.
template <class T>
struct CoTaskMemoryTraits {
  using Handle = T*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CoTaskMemFree(h); }
};

using UniqueHandle = UniqueOwner<KernelHandleTraits>;
using UniqueFile = UniqueOwner<FileHandleTraits>;
using UniqueFind = UniqueOwner<FindHandleTraits>;
using UniqueRegKey = UniqueOwner<RegKeyTraits>;
using UniqueLibrary = UniqueOwner<LibraryTraits>;
using UniqueGdiObject = UniqueOwner<GdiObjectTraits>;
template <class T>
using CoTaskMemory = UniqueOwner<CoTaskMemoryTraits<T>>;

}  // namespace torvo::win32
