#pragma once
// A yes-or-no answer the platform gives the same way for as long as the module stays loaded, found
// at its first question and kept. Not a function's static: GCC's guard for one takes the threads
// library's condition variable at its first use, two semaphores that the module's unload never
// gives back, so that every load of the DLL would keep two handles. Two threads that ask at once
// may both find the answer; both find the same one.
#include <atomic>

namespace torvo::win32 {

class OncePerLoad {
 public:
  constexpr OncePerLoad() = default;
  OncePerLoad(const OncePerLoad&) = delete;
  OncePerLoad& operator=(const OncePerLoad&) = delete;

  template <typename Find>
  bool Answer(Find find) {
    State known = state_.load(std::memory_order_acquire);
    if (known == State::kUnknown) {
      known = find() ? State::kYes : State::kNo;
      state_.store(known, std::memory_order_release);
    }
    return known == State::kYes;
  }

 private:
  enum class State : unsigned char { kUnknown, kYes, kNo };
  std::atomic<State> state_{State::kUnknown};
};

}  // namespace torvo::win32
