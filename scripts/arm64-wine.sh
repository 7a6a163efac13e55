# Emulated ARM64 Windows for the ARM64 tree's tests: Debian's arm64 Wine, unpacked into a private root,
# run by qemu-user through binfmt_misc, in a prefix and with a wineserver of its own, inside a fence.
# Source it after common.sh. Every step has a time limit and fails saying why.
#
# The fence: a cgroup (v1 pids and memory controllers) that every emulated process starts in, with a
# limit on its processes and threads and on its memory. A runaway (a Wine that starts explorer.exe
# again and again) meets the limits and fails its test; arm64_fence_down ends what is left by PID.

ARM64=$BUILD_ROOT/arm64
ARM64_PREFIX=$BUILD_ROOT/arm64-prefix
ARM64_VAULT_HOST=$BUILD_ROOT/arm64-vault
ARM64_FENCE=torvo-arm64-$(printf '%s' "$BUILD_ROOT" | md5sum | cut -c1-12)
ARM64_PIDS_MAX=${ARM64_PIDS_MAX:-300}        # processes and threads; a normal run stays below 150
ARM64_MEMORY_MAX=${ARM64_MEMORY_MAX:-6G}     # a normal run stays below 2 GiB
# The arm64 packages that Wine's 64-bit loader, its server and its libraries need, and fontconfig:
# without a font found through it when a process's GDI starts (the prefix has none before wineboot),
# Wine's window system is not set up, no process gets a desktop, and each one starts explorer.exe again.
ARM64_WINE_PACKAGES="wine64:arm64 libwine:arm64 fonts-wine libc6:arm64 libgcc-s1:arm64 libunwind8:arm64 liblzma5:arm64
  libfreetype6:arm64 libpng16-16:arm64 zlib1g:arm64 libbrotli1:arm64 libfontconfig1:arm64 libexpat1:arm64 fontconfig-config"
BINFMT=/proc/sys/fs/binfmt_misc

arm64_fail() { echo "arm64 Wine: $*" >&2; return 1; }

# The private root of Debian's arm64 Wine, kept in the cache under the packages' versions: downloaded
# (apt-get download, the arm64 architecture added to dpkg for its package lists) and unpacked once.
ensure_arm64_wine_root() {
  local sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $sudo dpkg --add-architecture arm64 && $sudo apt-get -o DPkg::Lock::Timeout=900 update -qq ||
        arm64_fail "cannot add the arm64 architecture to apt" || return 1
  fi
  local uris key
  uris=$(apt-get download --print-uris $ARM64_WINE_PACKAGES 2>/dev/null | awk '{ print $2 }' | sort) &&
      [ "$(echo "$uris" | wc -l)" -eq "$(echo $ARM64_WINE_PACKAGES | wc -w)" ] ||
      arm64_fail "apt knows not all of $ARM64_WINE_PACKAGES" || return 1
  key=$(echo "$uris" | sha256sum | cut -c1-16)
  ARM64_WINE_ROOT=$(torvo_cache)/arm64-wine-$key
  [ -f "$ARM64_WINE_ROOT/.complete" ] && return 0
  local work
  work=$(mktemp -d "$(torvo_cache)/arm64-wine.XXXXXX") || arm64_fail "cannot make a folder in the cache $(torvo_cache)" ||
      return 1
  chmod 755 "$work"  # apt's download user writes there
  (cd "$work" && timeout 600 apt-get download -qq $ARM64_WINE_PACKAGES) || { rm -rf "$work"; arm64_fail "apt-get download failed"; return 1; }
  mkdir -p "$work/root" && for deb in "$work"/*.deb; do dpkg -x "$deb" "$work/root" || return 1; done
  rm -rf "$ARM64_WINE_ROOT" && mv "$work/root" "$ARM64_WINE_ROOT" && rm -rf "$work"
  touch "$ARM64_WINE_ROOT/.complete"
}

# qemu-user runs arm64 programs that the kernel is asked to start: binfmt_misc mounted, and
# qemu-aarch64 registered as Debian's qemu-user-static describes it, with the P flag (argv[0]
# preserved: Wine's loader finds itself by it) and F (the interpreter opened now).
ensure_binfmt() {
  [ -x /usr/libexec/qemu-binfmt/aarch64-binfmt-P ] || arm64_fail "qemu-user-static is not installed" || return 1
  [ -e "$BINFMT/register" ] || mount -t binfmt_misc binfmt_misc "$BINFMT" ||
      arm64_fail "binfmt_misc is not mounted at $BINFMT and cannot be" || return 1
  if [ ! -e "$BINFMT/qemu-aarch64" ]; then
    local spec=/usr/share/binfmts/qemu-aarch64 magic mask
    magic=$(sed -n 's/^magic //p' "$spec") mask=$(sed -n 's/^mask //p' "$spec")
    echo ":qemu-aarch64:M:0:$magic:$mask:/usr/libexec/qemu-binfmt/aarch64-binfmt-P:PF" >"$BINFMT/register" ||
        arm64_fail "cannot register qemu-aarch64 with binfmt_misc" || return 1
  fi
  grep -qx enabled "$BINFMT/qemu-aarch64" && grep -q '^flags: .*P' "$BINFMT/qemu-aarch64" ||
      arm64_fail "qemu-aarch64 is registered disabled or without the P flag: $(tr '\n' ' ' <"$BINFMT/qemu-aarch64")"
}

# The fence's cgroups, made anew with their limits.
arm64_fence_up() {
  arm64_fence_down
  local c
  for c in pids memory; do
    [ -w "/sys/fs/cgroup/$c" ] || arm64_fail "the cgroup v1 $c controller is not writable at /sys/fs/cgroup/$c" || return 1
    mkdir "/sys/fs/cgroup/$c/$ARM64_FENCE" || arm64_fail "cannot make the cgroup $c/$ARM64_FENCE" || return 1
  done
  echo "$ARM64_PIDS_MAX" >"/sys/fs/cgroup/pids/$ARM64_FENCE/pids.max" &&
      echo "$ARM64_MEMORY_MAX" >"/sys/fs/cgroup/memory/$ARM64_FENCE/memory.limit_in_bytes" ||
      arm64_fail "cannot set the fence's limits" || return 1
  # Without swap in the limit, the fence would push its excess into swap instead of failing.
  [ ! -e "/sys/fs/cgroup/memory/$ARM64_FENCE/memory.memsw.limit_in_bytes" ] ||
      echo "$ARM64_MEMORY_MAX" >"/sys/fs/cgroup/memory/$ARM64_FENCE/memory.memsw.limit_in_bytes"
}

# Ends every process of the fence by its PID and removes the cgroups.
arm64_fence_down() {
  local procs=/sys/fs/cgroup/pids/$ARM64_FENCE/cgroup.procs pids tries=0
  while [ -f "$procs" ] && pids=$(cat "$procs") && [ -n "$pids" ] && [ $tries -lt 100 ]; do
    kill -KILL $pids 2>/dev/null
    sleep 0.1
    tries=$((tries + 1))
  done
  [ -z "${pids:-}" ] || echo "arm64 Wine: processes left in the fence after 10 s: $pids" >&2
  rmdir "/sys/fs/cgroup/pids/$ARM64_FENCE" "/sys/fs/cgroup/memory/$ARM64_FENCE" 2>/dev/null || true
}

# arm64_fenced SECONDS COMMAND...: runs the command inside the fence, ended after SECONDS.
arm64_fenced() {
  local seconds=$1; shift
  (
    echo "$BASHPID" >"/sys/fs/cgroup/pids/$ARM64_FENCE/cgroup.procs" &&
        echo "$BASHPID" >"/sys/fs/cgroup/memory/$ARM64_FENCE/cgroup.procs" || exit 125
    exec timeout -k 10 "$seconds" "$@"
  )
}

# The environment of the emulated Wine: its root for qemu's library lookups, its loader and server.
arm64_wine_env() {
  export QEMU_LD_PREFIX=$ARM64_WINE_ROOT
  export WINESERVER=$ARM64_WINE_ROOT/usr/lib/wine/wineserver64
  ARM64_WINE=$ARM64_WINE_ROOT/usr/lib/wine/wine64
}

# arm64_wine SECONDS ARGS...: one emulated Wine command in the ARM64 prefix (WINEPREFIX_ARM64 when set),
# inside the fence, through wine_run (scripts/wine_run.sh). Wine's loader would start the machine's own
# server, which refuses arm64 programs: the arm64 one is started first (it stays until wineserver -k).
arm64_wine() {
  local seconds=$1 prefix=${WINEPREFIX_ARM64:-$ARM64_PREFIX}; shift
  WINEPREFIX=$prefix arm64_fenced 60 "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$prefix WINE_RUN_LOADER=$ARM64_WINE WINE_RUN_LIMIT=arm64_fenced wine_run --timeout "$seconds" "$@"
}

# The recipe of the ARM64 template prefix: raise it with every change to make_arm64_prefix.
ARM64_PREFIX_RECIPE=1

# A new ARM64 prefix at DIR (default the tests' one): a copy of the machine's ARM64 template, made
# once per arm64 Wine root and recipe (a wineboot under emulation takes minutes).
fresh_arm64_prefix() {
  local prefix=${1:-$ARM64_PREFIX} template work
  template=$(torvo_cache)/arm64-prefix-$(printf '%s %s' "$ARM64_WINE_ROOT" "$ARM64_PREFIX_RECIPE" | sha256sum | cut -c1-16)
  if [ ! -f "$template/.complete" ]; then
    work=$(mktemp -d "$(torvo_cache)/arm64-prefix.XXXXXX") || arm64_fail "cannot make a folder in the cache" || return 1
    make_arm64_prefix "$work/prefix" || { rm -rf "$work"; return 1; }
    touch "$work/prefix/.complete"
    mv -T "$work/prefix" "$template" 2>/dev/null || true  # another build's is as good
    rm -rf "$work"
  fi
  rm -rf "$prefix" && mkdir -p "$(dirname "$prefix")" && cp -a "$template" "$prefix" ||
      arm64_fail "cannot copy $template into $prefix"
}

# Makes an ARM64 prefix at DIR inside the fence: the null graphics driver is in its registry BEFORE
# the first start of Wine (with no driver set, every start of the desktop process fails and Wine
# starts it again and again), then wineboot, no crash debugger.
make_arm64_prefix() {
  local prefix=$1
  mkdir -p "$prefix" || arm64_fail "cannot make $prefix" || return 1
  printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n[Software\\\\Wine\\\\Drivers]\n"Graphics"="null"\n' \
      >"$prefix/user.reg"
  WINEPREFIX_ARM64=$prefix arm64_wine 600 wineboot -i </dev/null >/dev/null 2>&1 ||
      arm64_fail "wineboot of $prefix failed or took over 10 minutes" || return 1
  WINEPREFIX_ARM64=$prefix arm64_wine 120 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
      /v Debugger /d '' /f </dev/null >/dev/null 2>&1 || arm64_fail "cannot set up $prefix" || return 1
  # Windows on ARM runs x86 programs and has their Program Files folders and variables; Wine's arm64
  # build, without a 32-bit side, makes neither. Wine sets the variables from these values.
  local value
  for value in 'ProgramFilesDir (x86)=C:\Program Files (x86)' 'CommonFilesDir (x86)=C:\Program Files (x86)\Common Files'; do
    WINEPREFIX_ARM64=$prefix arm64_wine 120 reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' \
        /v "${value%%=*}" /d "${value#*=}" /f </dev/null >/dev/null 2>&1 || arm64_fail "cannot set up $prefix" || return 1
  done
  mkdir -p "$prefix/drive_c/Program Files (x86)/Common Files/System"
  WINEPREFIX=$prefix arm64_fenced 60 "$WINESERVER" -k 2>/dev/null
  WINEPREFIX=$prefix arm64_fenced 60 "$WINESERVER" -w 2>/dev/null || true
}

# Everything the ARM64 tests need, or a loud failure naming what is missing: the root, binfmt, the
# fence, and the prefix (made once, with the vault drives V: and S:).
prepare_arm64_wine() {
  ensure_arm64_wine_root && ensure_binfmt && arm64_fence_up || return 1
  arm64_wine_env
  if [ ! -f "$ARM64_PREFIX/.torvo-ready" ]; then
    echo "making the emulated ARM64 Wine prefix $ARM64_PREFIX (a few minutes)"
    fresh_arm64_prefix "$ARM64_PREFIX" && touch "$ARM64_PREFIX/.torvo-ready" || return 1
  fi
  mkdir -p "$ARM64_VAULT_HOST" && ln -sfn "$ARM64_VAULT_HOST" "$ARM64_PREFIX/dosdevices/v:"
  # S:, the vault on another file system (a tmpfs), where a move copies: the long move's row.
  mkdir -p "$SHM_VAULT_HOST-arm64" && ln -sfn "$SHM_VAULT_HOST-arm64" "$ARM64_PREFIX/dosdevices/s:"
  # qemu looks a path up in the private root first, so Z: (the host's /) shows the root's folders and
  # a program started from the build root would have no drive path: W: is the build root.
  ln -sfn "$BUILD_ROOT" "$ARM64_PREFIX/dosdevices/w:"
}

# Keeps the ARM64 prefix's desktop (hold_desktop.exe of the ARM64 tree TREE) for the session, as
# hold_desktop does the x64 prefix's: under emulation the desktop's start is slow enough to outlast
# the 10 s a program gives it. The fence's end ends the holder.
hold_arm64_desktop() {
  local prefix=${WINEPREFIX_ARM64:-$ARM64_PREFIX}
  WINEPREFIX=$prefix arm64_fenced 60 "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$prefix WINE_RUN_LOADER=$ARM64_WINE WINE_RUN_LIMIT=arm64_fenced hold_desktop "$1"
}
