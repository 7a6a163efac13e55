# The release's harvests kept by their inputs (source it). A harvest costs fresh Wine prefixes (one
# under emulation for ARM64) and a dozen registry exports, and the signed release registers the same
# DLLs as the unsigned one: neither the symbols stripped nor a signature change what registration
# writes.

HARVEST_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# What a harvest's rows depend on besides the DLLs: the scripts that register, export and read.
HARVEST_SCRIPTS=(packaging/msi/harvest.sh packaging/msi/registration_rows.py packaging/msi/reg_export.py
                 scripts/common.sh scripts/wine_run.sh scripts/arm64-wine.sh tools/hold_desktop/hold_desktop.cpp)
# What a harvest writes into its stage.
HARVEST_ROWS=(registration.json registration.wxi registration32.wxi)

# harvest_key MACHINE DLL...: the name of a harvest: the machine, the bytes of the DLLs it registers
# (as built: neither stripped nor signed) and of the scripts that harvest.
harvest_key() {
  local machine=$1; shift
  { echo "$machine"; sha256sum "$@" | cut -d' ' -f1
    (cd "$HARVEST_ROOT" && sha256sum "${HARVEST_SCRIPTS[@]}"); } | sha256sum | cut -c1-32
}

# cached_harvest CACHE KEY STAGE COMMAND...: puts the rows of the harvest KEY into STAGE: those an
# earlier harvest left in CACHE/KEY, else COMMAND's (the harvest, which writes them into STAGE),
# then kept there. Says which.
cached_harvest() {
  local cache=$1/$2 stage=$3 row; shift 3
  if [ -f "$cache/.complete" ]; then
    for row in "${HARVEST_ROWS[@]}"; do cp "$cache/$row" "$stage/$row" || return 1; done
    echo "registration rows from the harvest of the same DLLs and scripts ($cache)"
    return 0
  fi
  "$@" || return 1
  rm -rf "$cache" && mkdir -p "$cache" || return 1
  for row in "${HARVEST_ROWS[@]}"; do cp "$stage/$row" "$cache/$row" || return 1; done
  touch "$cache/.complete"
}
