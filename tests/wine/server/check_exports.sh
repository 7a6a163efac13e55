#!/bin/sh
# Fails unless a DLL exports exactly the five COM server entry points, by name, at ordinals 1 to 5
# in this order, and nothing else.
# Usage: check_exports.sh OBJDUMP DLL (GNU objdump or llvm-objdump)
objdump=$1 dll=$2
expected='1 DllCanUnloadNow
2 DllGetClassObject
3 DllInstall
4 DllRegisterServer
5 DllUnregisterServer'
dump=$("$objdump" -p "$dll") || exit 1
if echo "$dump" | grep -q '^ Ordinal base:'; then
  # llvm-objdump (the ARM64 tree): one line per entry, "ordinal RVA name", the name absent when none.
  entries=$(echo "$dump" | sed -n '/^ *Ordinal *RVA *Name/,/^$/p' | sed 1d | grep .)
  [ -n "$entries" ] || { echo "no export table found in $dll"; exit 1; }
  named=$(echo "$entries" | awk 'NF == 3 { print $1, $3 }' | sort -n)
  count=$(echo "$entries" | grep -c .)
else
  base=$(echo "$dump" | sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p')
  [ -n "$base" ] || { echo "no export table found in $dll"; exit 1; }
  # "[Ordinal/Name Pointer] Table" lists each name with its index in the address table.
  named=$(echo "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[[[:space:]]*\([0-9]*\)\][[:space:]]*\([^[:space:]]*\).*/\1 \2/p' |
          while read -r index name; do echo "$((index + base)) $name"; done | sort -n)
  # Every entry of the address table, named or not.
  count=$(echo "$dump" | sed -n '/^Export Address Table --/,/^$/p' | grep -c '+base\[')
fi
echo "$named"
[ "$named" = "$expected" ] || { echo "FAIL: expected the exports"; echo "$expected"; exit 1; }
[ "$count" -eq 5 ] || { echo "FAIL: $count entries in the export address table, expected 5"; exit 1; }
echo "ok"
