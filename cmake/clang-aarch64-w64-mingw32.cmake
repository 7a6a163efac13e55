# Cross build of the ARM64 Windows binaries with Debian's clang-19 and lld-19 on the sysroot that
# scripts/arm64-sysroot.sh builds from Debian's source packages (mingw-w64 for arm64, compiler-rt,
# static libc++/libc++abi/libunwind). TORVO_ARM64_SYSROOT names that sysroot; its config file holds the
# target, the sysroot and the runtime libraries, which clang takes without "unused argument" warnings.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TORVO_ARM64_SYSROOT "$ENV{TORVO_ARM64_SYSROOT}" CACHE PATH "The aarch64-w64-mingw32 sysroot (scripts/arm64-sysroot.sh)")
if(NOT EXISTS "${TORVO_ARM64_SYSROOT}/aarch64-w64-mingw32.cfg")
  message(FATAL_ERROR "no aarch64-w64-mingw32 sysroot at '${TORVO_ARM64_SYSROOT}': run scripts/arm64-sysroot.sh")
endif()
# try_compile projects read this file again: the sysroot reaches them too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TORVO_ARM64_SYSROOT)

set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_FLAGS_INIT "--config=${TORVO_ARM64_SYSROOT}/aarch64-w64-mingw32.cfg")
set(CMAKE_CXX_FLAGS_INIT "--config=${TORVO_ARM64_SYSROOT}/aarch64-w64-mingw32.cfg")
set(CMAKE_RC_COMPILER llvm-windres-19)
# llvm-windres writes x64 objects unless told the target, and its preprocessor needs the sysroot.
set(CMAKE_RC_FLAGS_INIT "--target=aarch64-w64-mingw32 --preprocessor-arg=--sysroot=${TORVO_ARM64_SYSROOT}")
set(CMAKE_AR /usr/bin/llvm-ar-19)
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-19)
# GNU binutils cannot read ARM64 images.
set(TORVO_OBJDUMP /usr/bin/llvm-objdump-19 CACHE FILEPATH "objdump that reads this build's images")

set(CMAKE_FIND_ROOT_PATH ${TORVO_ARM64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
