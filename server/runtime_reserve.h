#pragma once
// The reserve that the C++ runtime linked into the DLL keeps for exceptions thrown when the heap is
// exhausted, given back when the DLL is unloaded. Each C++ runtime has its own file: GCC's libstdc++
// (runtime_reserve_libstdcxx.cpp) keeps it on the heap; LLVM's libc++abi, which the ARM64 build links
// (runtime_reserve_libcxxabi.cpp), keeps it in static storage that goes with the image.
namespace torvo::server {

void ReleaseRuntimeReserve();

}  // namespace torvo::server
