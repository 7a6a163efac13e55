#pragma once
// The one guard at the COM boundary: no exception leaves an exported function or an interface
// method. Memory exhaustion answers kOutOfMemory, anything else kUnexpected.
#include <new>

#include "common/status.h"

namespace torvo {

template <class Call>
HResult AtComBoundary(Call&& call) noexcept {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kUnexpected;
  }
}

}  // namespace torvo
