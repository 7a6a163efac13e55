# Shared by the project's scripts: what the machine needs, the build trees, the Wine bench.
# Source it; BUILD_ROOT may be set to keep several build roots apart (default: build/).

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_ROOT=${BUILD_ROOT:-$ROOT/build}
NATIVE=$BUILD_ROOT/native
WIN=$BUILD_ROOT/win
WIN32=$BUILD_ROOT/win32  # the 32-bit DLL and its end-to-end tests
FUZZ=$BUILD_ROOT/fuzz
export WINEPREFIX=$BUILD_ROOT/wine-prefix
export WINEARCH=win64
export WINEDEBUG=-all
# Wine's 64-bit loader runs what the scripts start. Once wine32:i386 is installed (for the 32-bit
# tests), Debian's `wine` is the 32-bit loader, which runs the 32-bit reg, regedit, regsvr32,
# msiexec and cmd: those read and write the 32-bit registry view (an export then lacks the 64-bit
# classes, an AeDebug setting lands under Wow6432Node). A program named by its path runs as what it
# is with either loader.
WINE64=/usr/lib/wine/wine64
# Every start of a Windows program goes through wine_run (scripts/wine_run.sh): a start that Wine
# gave up on is tried again, and a failure is told with its record.
source "$ROOT/scripts/wine_run.sh"
VAULT_HOST=$BUILD_ROOT/vault
# A second vault behind S:, on a tmpfs: another file system, so that a move into it copies and
# deletes instead of renaming (the long moves of the tests and benchmarks).
SHM_VAULT_HOST=/dev/shm/torvo-vault-$(printf '%s' "$BUILD_ROOT" | md5sum | cut -c1-12)

# wine32:i386 runs the 32-bit programs (the 32-bit regsvr32, host and tests) in the 64-bit prefix;
# clang-19, lld-19 and llvm-19 build the ARM64 tree (dpkg-dev and make build its sysroot from
# Debian's sources, scripts/arm64-sysroot.sh), qemu-user-static runs its tests (scripts/arm64-wine.sh).
# python3-jsonschema checks the release's bill of materials against its schema; faketime runs widl
# at the release's time (resources/CMakeLists.txt).
PACKAGES="cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-x86-64
  binutils-mingw-w64-i686 wine wine64 wine32:i386 clang libclang-rt-14-dev
  osslsigncode openssl clang-format git python3 libxml2-utils wixl msitools
  clang-19 lld-19 llvm-19 make dpkg-dev qemu-user-static ccache python3-jsonschema faketime"
PYTHON=/usr/bin/python3  # Debian's, whatever else the PATH offers

# Installs the Debian packages that are missing; does nothing when all are there. A package of
# another architecture (name:arch) first adds that architecture to dpkg, so that the package
# lists read next hold its packages.
# The one time a release records wherever a file stamps one (link times, the installer's summary and
# cabinet, the package's entries, the signing time): SOURCE_DATE_EPOCH when set, else the time of the
# commit being built, so that two builds of one commit write the same bytes.
source_date_epoch() {
  [ -z "${SOURCE_DATE_EPOCH:-}" ] || { echo "$SOURCE_DATE_EPOCH"; return; }
  git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 0
}

ensure_packages() {
  local missing="" arch
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  echo "installing:$missing"
  local sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  for arch in $(printf '%s\n' $missing | sed -n 's/^[^:]*:\(.*\)$/\1/p' | sort -u); do
    dpkg --print-foreign-architectures | grep -qx "$arch" || $sudo dpkg --add-architecture "$arch"
  done
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
}

# Signing an MSIX package takes osslsigncode 2.9 or later (2.7 and 2.8 sign one, but write its
# central directory in another order than its entries, which Windows refuses); bookworm's main suite
# has 2.5, its backports suite 2.9. When the installed one is older, adds the backports suite of the
# mirror this machine already uses and installs osslsigncode from there.
ensure_msix_signer() {
  msix_signer_installed && return 0
  local codename mirror; codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  mirror=$(debian_mirror "$codename")
  [ -n "$mirror" ] || { echo "no Debian mirror for $codename in the apt sources" >&2; return 1; }
  echo "installing osslsigncode from $codename-backports ($mirror)"
  local sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: %s\n' \
      "$mirror" "$codename" /usr/share/keyrings/debian-archive-keyring.gpg |
      $sudo tee /etc/apt/sources.list.d/torvo-backports.sources >/dev/null || return 1
  $sudo apt-get update -qq || return 1
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -t "$codename-backports" osslsigncode >/dev/null
  msix_signer_installed || { echo "osslsigncode 2.9 or later could not be installed" >&2; return 1; }
}

msix_signer_installed() {
  local installed; installed=$(dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null || true)
  [ -n "$installed" ] && dpkg --compare-versions "$installed" ge 2.9
}

# The URI of the mirror that the apt sources name for the suite CODENAME itself: the first enabled
# "deb" stanza of the deb822 files, else the first "deb" line of the one-line lists; nothing when
# none does. APT_SOURCES_DIR: where the sources are (default /etc/apt).
debian_mirror() {
  local dir=${APT_SOURCES_DIR:-/etc/apt} uri
  uri=$(awk -v suite="$1" '
      function stanza_end() { if (!found && deb && on && has && uri != "") { print uri; found = 1; exit }
                              deb = has = 0; on = 1; uri = "" }
      FNR == 1 { stanza_end() }
      /^[ \t]*$/ { stanza_end(); next }
      tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
      tolower($1) == "enabled:" { on = tolower($2) != "no" }
      tolower($1) == "uris:" { uri = $2 }
      tolower($1) == "suites:" { for (i = 2; i <= NF; i++) if ($i == suite) has = 1 }
      END { stanza_end() }' "$dir"/sources.list.d/*.sources 2>/dev/null)
  [ -n "$uri" ] || uri=$(cat "$dir"/sources.list "$dir"/sources.list.d/*.list 2>/dev/null |
      sed -E 's/\[[^]]*\]//' | awk -v suite="$1" '$1 == "deb" && $3 == suite { print $2; exit }')
  echo "$uri"
}

# Configures (once) a Windows tree: configure_win_tree DIR BUILD_TYPE [BITS]. BITS 64 (the default)
# builds everything; 32 builds the 32-bit DLL with its end-to-end tests only; arm64 the ARM64 DLL,
# mover and doctor with the end-to-end tests, with clang-19 on the sysroot of scripts/arm64-sysroot.sh,
# its tests run by the emulated arm64 Wine of scripts/arm64-wine.sh (ARM64_* settings, when sourced).
configure_win_tree() {
  local toolchain=mingw-w64-x86_64 only=OFF extra=()
  if [ "${3:-64}" = 32 ]; then toolchain=mingw-w64-i686 only=ON; fi
  if [ "${3:-64}" = arm64 ]; then
    toolchain=clang-aarch64-w64-mingw32 only=ON
    extra=(-DTORVO_ARM64_SYSROOT="$("$ROOT/scripts/arm64-sysroot.sh")" -DTORVO_TEST_TIMEOUT=600
           -DTORVO_WINEPREFIX="${ARM64_PREFIX:-$WINEPREFIX}" -DTORVO_VAULT_HOST="${ARM64_VAULT_HOST:-$VAULT_HOST}"
           -DTORVO_WINE_ROOT="${ARM64_WINE_ROOT:-}")
    [ -n "${extra[0]#*=}" ] || return 1
    # A tree of another sysroot (the sources or the recipe changed) is made anew.
    grep -qxF "TORVO_ARM64_SYSROOT:PATH=${extra[0]#*=}" "$1/CMakeCache.txt" 2>/dev/null || rm -rf "$1"
  fi
  [ -f "$1/build.ninja" ] || cmake -S "$ROOT" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE="$2" \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" -DTORVO_END_TO_END_ONLY=$only \
      -DTORVO_WINEPREFIX="$WINEPREFIX" -DTORVO_VAULT_HOST="$VAULT_HOST" "${extra[@]}" >/dev/null
}

# Configures (once) and builds the native, Windows (64- and 32-bit) and fuzz trees.
build_all() {
  [ -f "$NATIVE/build.ninja" ] || cmake -S "$ROOT" -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  configure_win_tree "$WIN" RelWithDebInfo
  configure_win_tree "$WIN32" RelWithDebInfo 32
  [ -f "$FUZZ/build.ninja" ] || CC=clang CXX=clang++ cmake -S "$ROOT" -B "$FUZZ" -G Ninja \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVO_FUZZ=ON >/dev/null
  cmake --build "$NATIVE" && cmake --build "$WIN" && cmake --build "$WIN32" && cmake --build "$FUZZ"
}

# The recipe of the template prefix below: raise it with every change to make_prefix, and the
# machines make their templates anew.
PREFIX_RECIPE=1

# Makes a new 64-bit prefix at DIR, whatever was there: a copy of the machine's template (made once
# per Wine and recipe, see prefix_template), which costs seconds where wineboot costs a minute.
fresh_prefix() {
  local template; template=$(prefix_template) || return 1
  rm -rf "$1" && mkdir -p "$(dirname "$1")" && cp -a "$template" "$1" ||
      { echo "cannot copy the template prefix $template into $1" >&2; return 1; }
}

# The template prefix in the machine's cache, made when missing: its name holds the versions of
# Wine's packages and the recipe. Made in a folder of its own and renamed when complete, so that
# two builds on one machine never see half of one.
prefix_template() {
  local key template work
  key=$( (dpkg-query -W -f='${Version} ' wine64 wine32:i386 libwine 2>/dev/null; echo "$PREFIX_RECIPE") | sha256sum | cut -c1-16)
  template=$(torvo_cache)/wine-prefix-$key
  if [ ! -f "$template/.complete" ]; then
    work=$(mktemp -d "$(torvo_cache)/wine-prefix.XXXXXX") || return 1
    make_prefix "$work/prefix" >&2 || { rm -rf "$work"; return 1; }
    touch "$work/prefix/.complete"
    mv -T "$work/prefix" "$template" 2>/dev/null || true  # another build's is as good
    rm -rf "$work"
  fi
  [ -f "$template/.complete" ] && echo "$template"
}

# Makes a 64-bit prefix at DIR with wineboot: null graphics driver, no crash debugger (in both
# registry views: a crashing 32-bit program reads the 32-bit one, and a debugger started there
# would wait for ever instead of the program ending). Its server is ended at the end, so that
# the registry is on disk.
make_prefix() {
  mkdir -p "$1" || return 1
  local aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
  # One server for the commands below; Wine makes the prefix in the empty folder.
  WINEPREFIX=$1 persistent_wineserver
  WINEPREFIX=$1 wine_run --life "$1/drive_c" wineboot -i </dev/null >/dev/null &&
      WINEPREFIX=$1 wine_run reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null &&
      WINEPREFIX=$1 wine_run reg add "$aedebug" /v Debugger /d '' /f </dev/null >/dev/null &&
      WINEPREFIX=$1 wine_run reg add "$aedebug" /v Debugger /d '' /f /reg:32 </dev/null >/dev/null ||
      { echo "cannot set up the Wine prefix $1" >&2; WINEPREFIX=$1 wineserver -k; return 1; }
  # The desktop process started without the null driver; the next session's starts with it.
  WINEPREFIX=$1 wineserver -k
  WINEPREFIX=$1 wineserver -w
}

# Starts a wineserver for WINEPREFIX that stays until it is killed; fails when one is running
# already. Debian's wineserver wrapper gives the server that a Wine program starts a persistence
# of 0 seconds: without this, a script's consecutive Wine commands each start a server of their
# own (over a second each) while the previous one shuts down. Detached from the caller's output.
persistent_wineserver() {
  wineserver -p </dev/null >/dev/null 2>&1
}

# The file a Windows path of WINEPREFIX names (C:\... or Z:...), for the checks of the scripts.
unix_path() {
  case $1 in
    [Cc]:*) local rest=${1:2}; printf '%s/drive_c%s' "$WINEPREFIX" "${rest//\\//}" ;;
    [Zz]:*) local rest=${1:2}; printf '%s' "${rest//\\//}" ;;
    *) return 1 ;;
  esac
}

# Exports KEY (default HKLM\Software) of WINEPREFIX into FILE (a Windows path), as regedit writes it;
# the file it writes is its sign of life.
export_registry() {
  local file; file=$(unix_path "$1") && rm -f "$file"
  wine_run ${file:+--life "$file"} regedit /E "$1" "${2:-HKEY_LOCAL_MACHINE\Software}" </dev/null &&
      [ -s "$file" ] || { echo "cannot export the registry to $1" >&2; return 1; }
}

# Creates the 64-bit prefix once: null graphics driver, no crash debugger; maps the vault drives
# V: (a folder of the build tree) and S: (a folder on a tmpfs).
prepare_prefix() {
  mkdir -p "$VAULT_HOST"
  # A prefix made before wine32 was installed lacks the 32-bit system (syswow64): it is made anew.
  if [ ! -f "$WINEPREFIX/.torvo-ready" ] || [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/regsvr32.exe" ]; then
    fresh_prefix "$WINEPREFIX"
    touch "$WINEPREFIX/.torvo-ready"
  fi
  ln -sfn "$VAULT_HOST" "$WINEPREFIX/dosdevices/v:"
  mkdir -p "$SHM_VAULT_HOST"
  ln -sfn "$SHM_VAULT_HOST" "$WINEPREFIX/dosdevices/s:"
}

# Keeps Wine's desktop for the rest of this session (bin/hold_desktop.exe of the build tree TREE,
# in the background, which tells why) once it answers; fails, saying so, when it does not within 5
# minutes. The session's end (wineserver -k) ends the holder. WINE_RUN_LOADER and WINE_RUN_LIMIT
# name another machine's Wine (the ARM64 tree's).
hold_desktop() {
  local said; said=$(mktemp)
  WINE_RUN_QUIET=1 wine_run --timeout 0 "$1/bin/hold_desktop.exe" </dev/null >"$said" 2>/dev/null &
  for _ in $(seq 330); do
    if grep -q ready "$said"; then rm -f "$said"; return 0; fi
    sleep 1
  done
  rm -f "$said"
  echo "Wine's desktop did not answer in $WINEPREFIX within 5 minutes" >&2
  return 1
}

# One wineserver for the whole run: every Wine process then starts in a fraction of a second. The
# bench is settled before the first test: Wine's background processes, its 32-bit services (which
# the first 32-bit program would otherwise start inside a test, writing volatile keys) and the
# desktop are up.
start_wineserver() {
  # A server that is already running for this prefix (from a run by hand) serves as well; should
  # it end between two programs, wine-run starts one that stays.
  persistent_wineserver || echo "a wineserver is already running for $WINEPREFIX: the tests use it"
  # Start Wine's own background processes now, detached from any output pipe: started by a test
  # under ctest, they would hold its pipe open after the test has ended.
  start_services
  trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null' EXIT
  hold_desktop "$WIN"
}

# Wine's background processes and its 32-bit services in WINEPREFIX, detached from any output.
start_services() {
  wine_run cmd /c exit </dev/null >/dev/null 2>&1
  wine_run 'C:\windows\syswow64\cmd.exe' /c exit </dev/null >/dev/null 2>&1
}

# The machine's cache of what the scripts build once for all build roots (the ARM64 sysroot, the
# arm64 Wine): TORVO_CACHE, else /var/cache/torvo, else ~/.cache/torvo for a user who cannot write
# there; made when it is not there yet.
torvo_cache() {
  local cache
  if [ -n "${TORVO_CACHE:-}" ]; then cache=$TORVO_CACHE
  elif mkdir -p /var/cache/torvo 2>/dev/null && [ -w /var/cache/torvo ]; then cache=/var/cache/torvo
  else cache=${XDG_CACHE_HOME:-$HOME/.cache}/torvo; fi
  mkdir -p "$cache" && echo "$cache"
}

# The compiler cache (ccache, which cmake/torvo.cmake puts before the compilers): in the machine's
# cache, with paths below the source root hashed as relative ones and the build folder left out of
# the hash (the compilers write no absolute path, see cmake/torvo.cmake), so that every clone on the
# machine shares it.
export CCACHE_DIR=${CCACHE_DIR:-$(torvo_cache)/ccache} CCACHE_BASEDIR=$ROOT CCACHE_NOHASHDIR=1
