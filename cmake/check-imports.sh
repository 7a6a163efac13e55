#!/bin/sh
# Fails when a Windows binary imports a DLL that is not part of the operating system, or, with
# "known", one that is not among Windows' known DLLs (KnownDLLs: always loaded from System32, never
# from a file of that name beside the program).
# Usage: check-imports.sh OBJDUMP BINARY [known]
objdump=$1 binary=$2
allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|rpcrt4|msvcrt|api-ms-win-crt-[a-z0-9-]+|comctl32|uuid)\.dll$'
# API sets (the UCRT's api-ms-win-crt-*, which the ARM64 build imports) are names the loader
# resolves through the API set schema, never files looked for beside the program.
[ "${3:-}" = known ] &&
    allowed='^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|rpcrt4|msvcrt|api-ms-win-crt-[a-z0-9-]+)\.dll$'
imports=$("$objdump" -p "$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no import table found in $binary"; exit 1; }
status=0
for dll in $imports; do
  if echo "$dll" | grep -Eq "$allowed"; then echo "ok      $dll"; else echo "FOREIGN $dll"; status=1; fi
done
exit $status
