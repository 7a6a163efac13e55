#pragma once
// A non-copyable owner of one block of the COM task allocator (strings and item id lists that
// the shell hands out), freed with CoTaskMemFree.
#include <objbase.h>

#include <utility>

namespace torvo::win32 {

template <class T>
class CoTaskMemory {
 public:
  CoTaskMemory() = default;
  explicit CoTaskMemory(T* adopted) : p_(adopted) {}
  CoTaskMemory(const CoTaskMemory&) = delete;
  CoTaskMemory& operator=(const CoTaskMemory&) = delete;
  CoTaskMemory(CoTaskMemory&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  CoTaskMemory& operator=(CoTaskMemory&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  ~CoTaskMemory() { Reset(); }

  T* Get() const { return p_; }
  // The address for an out parameter; frees what is held first.
  T** Put() {
    Reset();
    return &p_;
  }
  void Reset(T* adopted = nullptr) {
    ::CoTaskMemFree(p_);
    p_ = adopted;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace torvo::win32
