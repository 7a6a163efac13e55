#include "server/runtime_reserve.h"

namespace torvo::server {

// libc++abi's reserve is static storage of the image: nothing to give back.
void ReleaseRuntimeReserve() {}

}  // namespace torvo::server
