# Cross build of the 32-bit Windows binaries with Debian's MinGW-w64 (posix threads): the DLL for
# 32-bit programs on 64-bit Windows, and the programs that prove it under Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
