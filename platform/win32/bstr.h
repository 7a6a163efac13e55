#pragma once
// A non-copyable owner of one BSTR, freed with SysFreeString.
#include <oleauto.h>

#include <utility>

namespace torvo::win32 {

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(BSTR adopted) : value_(adopted) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.value_, nullptr));
    return *this;
  }
  ~Bstr() { ::SysFreeString(value_); }

  // The address for an out parameter; frees what is held first.
  BSTR* Put() {
    Reset();
    return &value_;
  }
  BSTR Get() const { return value_; }
  void Reset(BSTR value = nullptr) {
    ::SysFreeString(value_);
    value_ = value;
  }

 private:
  BSTR value_ = nullptr;
};

}  // namespace torvo::win32
