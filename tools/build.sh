#!/usr/bin/env bash
# Configures and builds the trees: build/native (Linux, sanitizers), build/fuzz (libFuzzer,
# clang) and build/win32 (the DLL, its tools and the tests under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
if [ "$what" = all ] || [ "$what" = native ]; then
  cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build build/native
fi
if [ "$what" = all ] || [ "$what" = fuzz ]; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DSARVIK_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/fuzz
fi
if [ "$what" = all ] || [ "$what" = win32 ]; then
  cmake --no-warn-unused-cli -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build/win32
fi
