#!/bin/sh
# Fails unless a Windows binary loads the DLL as asked: "at-once" (in its import table, loaded with
# the binary) or "delayed" (absent from that table, its name kept for the load on the first call).
# Usage: check-first-use.sh OBJDUMP BINARY DLL at-once|delayed
objdump=$1 binary=$2 dll=$3 when=$4
imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no import table found in $binary"; exit 1; }
if echo "$imports" | grep -qx "$dll"; then found=at-once
elif grep -aqi "$dll" "$binary"; then found=delayed
else found=never; fi
echo "$dll: $found (asked: $when)"
[ "$found" = "$when" ]
