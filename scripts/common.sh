# Shared by the project's scripts: what the machine needs, the build trees, the Wine bench.
# Source it; BUILD_ROOT may be set to keep several build roots apart (default: build/).

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$ROOT/build}
NATIVE=$BUILD_ROOT/native
WIN=$BUILD_ROOT/win
FUZZ=$BUILD_ROOT/fuzz
export WINEPREFIX=$BUILD_ROOT/wine-prefix
export WINEARCH=win64
export WINEDEBUG=-all
VAULT_HOST=$BUILD_ROOT/vault
# A second vault behind S:, on a tmpfs: another file system, so that a move into it copies and
# deletes instead of renaming (the long moves of the tests and benchmarks).
SHM_VAULT_HOST=/dev/shm/torvo-vault-$(printf '%s' "$BUILD_ROOT" | md5sum | cut -c1-12)

PACKAGES="cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev
  osslsigncode openssl clang-format git wixl msitools python3"

# Installs the Debian packages that are missing; does nothing when all are there.
ensure_packages() {
  local missing=""
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  echo "installing:$missing"
  local sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}

# Configures (once) a Windows tree: configure_win_tree DIR BUILD_TYPE
configure_win_tree() {
  [ -f "$1/build.ninja" ] || cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE="$2" \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
      -DTORVO_WINEPREFIX="$WINEPREFIX" -DTORVO_VAULT_HOST="$VAULT_HOST" >/dev/null
}

# Configures (once) and builds the native, Windows and fuzz trees.
build_all() {
  [ -f "$NATIVE/build.ninja" ] || cmake -S "$ROOT" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  configure_win_tree "$WIN" RelWithDebInfo
  [ -f "$FUZZ/build.ninja" ] || CC=clang CXX=clang++ cmake -S "$ROOT" -B "$FUZZ" -G Ninja \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVO_FUZZ=ON >/dev/null
  cmake --build "$NATIVE" && cmake --build "$WIN" && cmake --build "$FUZZ"
}

# Makes a new 64-bit prefix at DIR, whatever was there: null graphics driver, no crash debugger.
fresh_prefix() {
  rm -rf "$1"
  WINEPREFIX=$1 wineboot -i >/dev/null 2>&1
  WINEPREFIX=$1 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  WINEPREFIX=$1 wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null 2>&1
  # The desktop process started without the null driver; restart so that windows can be made.
  WINEPREFIX=$1 wineserver -k
  WINEPREFIX=$1 wineserver -w
}

# Exports KEY (default HKLM\Software) of WINEPREFIX into FILE (a Windows path), as regedit writes it.
export_registry() {
  wine regedit /E "$1" "${2:-HKEY_LOCAL_MACHINE\Software}" || { echo "cannot export the registry to $1" >&2; return 1; }
}

# Creates the 64-bit prefix once: null graphics driver, no crash debugger; maps the vault drives
# V: (a folder of the build tree) and S: (a folder on a tmpfs).
prepare_prefix() {
  mkdir -p "$VAULT_HOST"
  if [ ! -f "$WINEPREFIX/.torvo-ready" ]; then
    fresh_prefix "$WINEPREFIX"
    touch "$WINEPREFIX/.torvo-ready"
  fi
  ln -sfn "$VAULT_HOST" "$WINEPREFIX/dosdevices/v:"
  mkdir -p "$SHM_VAULT_HOST"
  ln -sfn "$SHM_VAULT_HOST" "$WINEPREFIX/dosdevices/s:"
}

# One wineserver for the whole run: every Wine process then starts in a fraction of a second.
start_wineserver() {
  # A server that is already running for this prefix (from a run by hand) serves as well.
  wineserver -p 2>/dev/null || true
  # Start Wine's own background processes now, detached from any output pipe: started by a test
  # under ctest, they would hold its pipe open after the test has ended.
  wine cmd /c exit </dev/null >/dev/null 2>&1
  trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null' EXIT
}
