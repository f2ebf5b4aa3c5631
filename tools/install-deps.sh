#!/usr/bin/env bash
# Installs, on Debian, whatever sarvik's build, tests and demo need and is not there yet.
set -euo pipefail

packages=(cmake ninja-build g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 googletest
          wine wine32 python3-pefile clang libclang-rt-14-dev valgrind)
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q "${missing[@]}"
fi
