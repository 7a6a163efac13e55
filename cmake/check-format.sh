#!/bin/sh
# Checks that the project's own C and C++ files are formatted as .clang-format says; names each
# file that is not. Usage: check-format.sh SOURCE_ROOT
cd "$1" || exit 2
off=0
files=$(git ls-files '*.cpp' '*.h' '*.c' 2>/dev/null) ||
  files=$(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print)
for file in $files; do
  if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file (clang-format -i $file)"
    off=1
  fi
done
exit $off
