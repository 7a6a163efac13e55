#!/usr/bin/env bash
# Builds both trees and prepares the demo's Wine prefix.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages
build_all
prepare_prefix
echo "built: $WIN/bin"
echo "Wine prefix: $WINEPREFIX (vault drive V: -> $VAULT_HOST)"
