#include "server/runtime_reserve.h"

// libstdc++ frees its reserve here; it declares the function in no header.
namespace __gnu_cxx {
void __freeres();
}

namespace torvo::server {

void ReleaseRuntimeReserve() { __gnu_cxx::__freeres(); }

}  // namespace torvo::server
