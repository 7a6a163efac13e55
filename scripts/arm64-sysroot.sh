#!/usr/bin/env bash
# arm64-sysroot.sh: makes sure the aarch64-w64-mingw32 sysroot that Debian's clang-19 builds the ARM64
# tree with exists, and prints its folder. Built from Debian's own source packages: mingw-w64 (headers
# and CRT for arm64) and llvm-toolchain-19 (compiler-rt's builtins, static libunwind, libc++abi and
# libc++ on Win32 threads). The sysroot is kept in the project's cache (torvo_cache in common.sh) under
# a name made of the two source packages' versions and the recipe's number (RECIPE below): a later run with the same sources finds it and builds nothing.
# Takes about 5 minutes on 2 cores when it builds; fails saying which step failed.
set -euo pipefail
source "$(dirname "$0")/common.sh"

TARGET=aarch64-w64-mingw32
LLVM=19
RECIPE=2  # raise it with every change to how the sysroot is built: the cache then builds it anew
fail() { echo "arm64-sysroot: $*" >&2; exit 1; }

# The source lines of the suite this machine installs from (deb-src beside its deb), once.
ensure_source_lines() {
  local codename mirror list=/etc/apt/sources.list.d/torvo-sources.sources
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  if [ ! -f "$list" ]; then
    mirror=$(debian_mirror "$codename")
    [ -n "$mirror" ] || fail "no Debian mirror for $codename in the apt sources"
    local sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
        "$mirror" "$codename" /usr/share/keyrings/debian-archive-keyring.gpg | $sudo tee "$list" >/dev/null
    $sudo apt-get -o DPkg::Lock::Timeout=900 update -qq || fail "apt-get update failed"
  fi
}

# The version of a source package that apt would fetch.
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1
}

# Every build with this sysroot (its own C++ runtime, the project's ARM64 tree) runs clang-19 through
# its config file. __USE_MINGW_ANSI_STDIO: the printf and scanf families are mingw-w64's own, built in,
# instead of calls into the UCRT's variadic functions (Windows has both; Debian's arm64 Wine 8, which
# runs the tests, passes variable arguments to its UCRT the Linux way, and a call from Windows code
# crashes there).
write_config() {
  cat >"$1/$TARGET.cfg" <<CFG
--target=$TARGET
--sysroot=$1
-resource-dir=$1/clang
-rtlib=compiler-rt
-unwindlib=libunwind
-stdlib=libc++
-fuse-ld=lld
-D__USE_MINGW_ANSI_STDIO=1
CFG
}

build_headers() {  # build_headers SRC SYSROOT
  mkdir -p "$work/headers" && cd "$work/headers"
  "$1/mingw-w64-headers/configure" --host=$TARGET --prefix="$2" --enable-idl --with-default-msvcrt=ucrt >/dev/null
  make install >/dev/null
  # mingw-w64 10's RPC headers know 64-bit RPC on x86-64 and IA-64 only: widl's proxy for a 64-bit
  # machine stops at "Invalid build platform" without aarch64 among them.
  sed -i 's/defined(__ia64__) || defined(__x86_64)$/defined(__ia64__) || defined(__x86_64) || defined(__aarch64__)/' \
      "$2/include/rpc.h" "$2/include/rpcproxy.h"
  grep -q '__aarch64__' "$2/include/rpcproxy.h" || fail "rpcproxy.h has no 64-bit condition to extend"
}

build_crt() {  # build_crt SRC SYSROOT
  mkdir -p "$work/crt" && cd "$work/crt"
  "$1/mingw-w64-crt/configure" --host=$TARGET --prefix="$2" --with-sysroot="$2" --disable-lib32 --disable-lib64 \
      --enable-libarm64 --with-default-msvcrt=ucrt CC="clang-$LLVM --config=$2/$TARGET.cfg" \
      AR=llvm-ar-$LLVM RANLIB=llvm-ranlib-$LLVM DLLTOOL=llvm-dlltool-$LLVM >/dev/null
  make -j"$(nproc)" >/dev/null 2>"$work/crt.log" || { tail -n 30 "$work/crt.log" >&2; return 1; }
  make install >/dev/null
}

# CMake settings shared by the LLVM runtime builds: clang-19 through the config file, static only.
runtime_cmake() {  # runtime_cmake SOURCE BUILD SYSROOT ARGS...
  local source=$1 build=$2 sysroot=$3; shift 3
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SYSTEM_NAME=Windows \
      -DCMAKE_SYSTEM_PROCESSOR=aarch64 -DCMAKE_C_COMPILER=clang-$LLVM -DCMAKE_CXX_COMPILER=clang++-$LLVM \
      -DCMAKE_ASM_COMPILER=clang-$LLVM \
      -DCMAKE_C_FLAGS="--config=$sysroot/$TARGET.cfg" -DCMAKE_CXX_FLAGS="--config=$sysroot/$TARGET.cfg" \
      -DCMAKE_ASM_FLAGS="--config=$sysroot/$TARGET.cfg" \
      -DCMAKE_C_COMPILER_WORKS=ON -DCMAKE_CXX_COMPILER_WORKS=ON -DCMAKE_AR=/usr/bin/llvm-ar-$LLVM \
      -DCMAKE_RANLIB=/usr/bin/llvm-ranlib-$LLVM -DCMAKE_RC_COMPILER=/usr/bin/llvm-windres-$LLVM -Wno-dev \
      --no-warn-unused-cli "$@" >/dev/null 2>"$build.configure.log" || { cat "$build.configure.log" >&2; return 1; }
  cmake --build "$build" >/dev/null 2>"$build.log" || { tail -n 30 "$build.log" >&2; return 1; }
}

build_builtins() {  # build_builtins LLVM_SRC SYSROOT
  runtime_cmake "$1/compiler-rt/lib/builtins" "$work/builtins" "$2" -DCOMPILER_RT_DEFAULT_TARGET_ONLY=ON \
      -DCMAKE_C_COMPILER_TARGET=$TARGET -DCMAKE_ASM_COMPILER_TARGET=$TARGET -DCOMPILER_RT_OS_DIR=windows \
      -DCMAKE_INSTALL_PREFIX="$2/clang" -DLLVM_CMAKE_DIR="$1/llvm/cmake/modules"
  cmake --install "$work/builtins" >/dev/null
  ls "$2"/clang/lib/windows/libclang_rt.builtins-aarch64.a >/dev/null || fail "no builtins library installed"
}

build_cxx_runtime() {  # build_cxx_runtime LLVM_SRC SYSROOT
  # LIBCXXABI_SILENT_TERMINATE: std::terminate aborts without the demangled message (a DLL in
  # Explorer has no standard error), which keeps the demangler out of every binary.
  runtime_cmake "$1/runtimes" "$work/runtimes" "$2" -DLLVM_ENABLE_RUNTIMES="libunwind;libcxxabi;libcxx" \
      -DCMAKE_INSTALL_PREFIX="$2" -DLIBUNWIND_ENABLE_SHARED=OFF -DLIBUNWIND_USE_COMPILER_RT=ON \
      -DLIBCXXABI_ENABLE_SHARED=OFF -DLIBCXXABI_USE_COMPILER_RT=ON -DLIBCXXABI_USE_LLVM_UNWINDER=ON \
      -DLIBCXXABI_HAS_WIN32_THREAD_API=ON -DLIBCXXABI_SILENT_TERMINATE=ON -DLIBCXXABI_LIBDIR_SUFFIX= \
      -DLIBCXX_ENABLE_SHARED=OFF -DLIBCXX_USE_COMPILER_RT=ON -DLIBCXX_CXX_ABI=libcxxabi \
      -DLIBCXX_ENABLE_STATIC_ABI_LIBRARY=ON -DLIBCXX_HAS_WIN32_THREAD_API=ON -DLIBCXX_LIBDIR_SUFFIX= \
      -DLIBCXX_ENABLE_ABI_LINKER_SCRIPT=OFF -DLIBCXX_INCLUDE_TESTS=OFF -DLIBCXX_INCLUDE_BENCHMARKS=OFF \
      -DLIBCXXABI_INCLUDE_TESTS=OFF -DLIBUNWIND_INCLUDE_TESTS=OFF -DLIBCXX_ENABLE_LOCALIZATION=ON
  cmake --install "$work/runtimes" >/dev/null
}

build_sysroot() {  # build_sysroot DIR
  local sysroot=$1 started=$SECONDS
  mkdir -p "$work/src" "$sysroot/clang"
  write_config "$sysroot"
  # clang's own headers (stddef.h, arm_neon.h, ...) beside the builtins in the sysroot's resource folder.
  ln -s "/usr/lib/llvm-$LLVM/lib/clang/$LLVM/include" "$sysroot/clang/include"
  echo "arm64-sysroot: fetching the sources of mingw-w64 $mingw_version and llvm-toolchain-$LLVM $llvm_version"
  (cd "$work/src" && apt-get source --download-only -qq mingw-w64="$mingw_version" "llvm-toolchain-$LLVM=$llvm_version" \
      >/dev/null) || fail "apt-get source failed"
  (cd "$work/src" && dpkg-source -x -q mingw-w64_*.dsc mingw >/dev/null 2>&1) || fail "cannot unpack mingw-w64"
  local llvm_orig; llvm_orig=$(ls "$work"/src/llvm-toolchain-${LLVM}_*.orig.tar.xz)
  mkdir -p "$work/src/llvm"
  tar -xJf "$llvm_orig" -C "$work/src/llvm" --strip-components=1 --wildcards \
      '*/compiler-rt/*' '*/libcxx/*' '*/libcxxabi/*' '*/libunwind/*' '*/runtimes/*' '*/cmake/*' \
      '*/llvm/utils/*' '*/third-party/*' || fail "cannot unpack llvm-toolchain-$LLVM"
  echo "arm64-sysroot: mingw-w64 headers"; build_headers "$work/src/mingw" "$sysroot" || fail "the headers failed"
  echo "arm64-sysroot: mingw-w64 CRT for arm64"; build_crt "$work/src/mingw" "$sysroot" || fail "the CRT failed"
  echo "arm64-sysroot: compiler-rt builtins"; build_builtins "$work/src/llvm" "$sysroot" || fail "the builtins failed"
  echo "arm64-sysroot: libunwind, libc++abi, libc++"; build_cxx_runtime "$work/src/llvm" "$sysroot" ||
      fail "the C++ runtime failed"
  echo "arm64-sysroot: built in $((SECONDS - started)) s"
}

ensure_source_lines
mingw_version=$(source_version mingw-w64)
llvm_version=$(source_version "llvm-toolchain-$LLVM")
[ -n "$mingw_version" ] && [ -n "$llvm_version" ] || fail "apt knows no source of mingw-w64 or llvm-toolchain-$LLVM"
key=$(printf '%s %s %s' "$mingw_version" "$llvm_version" "$RECIPE" | sha256sum | cut -c1-16)
sysroot=$(torvo_cache)/$TARGET-$key
if [ ! -f "$sysroot/.complete" ]; then
  mkdir -p "$(dirname "$sysroot")"
  work=$(mktemp -d "$(dirname "$sysroot")/build.XXXXXX") && chmod 755 "$work"  # apt's download user writes there
  trap 'rm -rf "$work"' EXIT
  rm -rf "$sysroot"
  build_sysroot "$work/sysroot" >&2
  # The sysroot's config names its own folder: written again for where it is kept.
  mv "$work/sysroot" "$sysroot" && write_config "$sysroot"
  rm -f "$sysroot/clang/include" && ln -s "/usr/lib/llvm-$LLVM/lib/clang/$LLVM/include" "$sysroot/clang/include"
  touch "$sysroot/.complete"
  # Sysroots of earlier sources or recipes are no longer used (a tree made with one is made anew).
  find "$(dirname "$sysroot")" -maxdepth 1 -name "$TARGET-*" ! -path "$sysroot" -exec rm -rf {} +
fi
# The source packages the sysroot was built from (its name is made of their versions), for the
# release's bill of materials.
[ -f "$sysroot/torvo-sources" ] ||
    printf 'mingw-w64 %s\nllvm-toolchain-%s %s\n' "$mingw_version" "$LLVM" "$llvm_version" >"$sysroot/torvo-sources"
echo "$sysroot"
