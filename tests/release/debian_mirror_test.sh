#!/usr/bin/env bash
# The mirror whose backports suite scripts/common.sh adds for osslsigncode: the URI the apt sources
# name for the release's own suite, from deb822 files (an enabled "deb" stanza, the first URI) or
# else from one-line lists (options in brackets skipped); nothing when no source names it.
set -euo pipefail
source "$(dirname "$0")/../../scripts/common.sh"
sources=$(mktemp -d)
trap 'rm -rf "$sources"' EXIT
status=0

# expect NAME URI: the sources written under $sources give URI (empty: none) for bookworm
expect() {
  local found; found=$(APT_SOURCES_DIR=$sources debian_mirror bookworm)
  [ "$found" = "$2" ] || { echo "FAIL: $1: found '$found', expected '$2'" >&2; status=1; }
  rm -rf "${sources:?}"/* && mkdir -p "$sources/sources.list.d"
}
mkdir -p "$sources/sources.list.d"

printf 'Types: deb\nURIs: http://security.example/debian-security\nSuites: bookworm-security\n\nTypes: deb-src\nURIs: http://src.example/debian\nSuites: bookworm\n\nTypes: deb\nEnabled: no\nURIs: http://off.example/debian\nSuites: bookworm\n' \
    >"$sources/sources.list.d/a.sources"
printf 'Types: deb\nURIs: http://mirror.example/debian http://second.example/debian\nSuites: bookworm bookworm-updates\n' \
    >"$sources/sources.list.d/b.sources"
expect "deb822 stanzas of other suites, sources and disabled ones passed over" http://mirror.example/debian

printf 'deb-src http://src.example/debian bookworm main\ndeb [arch=amd64 signed-by=/k.gpg] http://line.example/debian bookworm main\n' \
    >"$sources/sources.list"
expect "a one-line list with options" http://line.example/debian

printf 'deb http://security.example/debian-security bookworm-security main\n' >"$sources/sources.list"
expect "no source for the suite itself" ""
exit $status
