#!/usr/bin/env bash
# Configures and builds the trees: build/native (Linux, sanitizers), build/fuzz (libFuzzer,
# clang), build/win32 (the product: the 32-bit DLL, its tools and the tests under Wine) and
# build/win64 (the same sources for x86_64).
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case $what in
  all | native | fuzz | win32 | win64) ;;
  *) echo "usage: $0 [all|native|fuzz|win32|win64]" >&2; exit 2 ;;
esac
want() { [ "$what" = all ] || [ "$what" = "$1" ]; }
if want native; then
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build/native
fi
if want fuzz; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DSARVIK_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/fuzz
fi
for tree in win32:i686 win64:x86_64; do
  name=${tree%%:*}
  if want "$name"; then
    cmake --no-warn-unused-cli -S . -B "build/$name" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-${tree#*:}.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "build/$name"
  fi
done
