#!/usr/bin/env bash
# Installs, on Debian 12, whatever sarvik's builds, tests and demo need and is not there yet.
set -euo pipefail
. "$(dirname "$0")/wine-env.sh"

packages=(cmake ninja-build g++ googletest python3-pefile clang libclang-rt-14-dev valgrind
          g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
          wine wine64)
# 32-bit Wine installs everywhere but runs only where the kernel runs 32-bit programs.
packages32=(wine32:i386)
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}
apt_install() {
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q "$@"
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  as_root apt-get update -q
fi
mapfile -t needed < <(missing "${packages[@]}")
mapfile -t needed32 < <(missing "${packages32[@]}")
if [ ${#needed[@]} -gt 0 ] || [ ${#needed32[@]} -gt 0 ]; then
  as_root apt-get update -q
fi
if [ ${#needed[@]} -gt 0 ]; then
  echo "installing: ${needed[*]}"
  apt_install "${needed[@]}"
fi
if [ ${#needed32[@]} -gt 0 ]; then
  echo "installing: ${needed32[*]}"
  # On a machine that runs 64-bit code only, some of its set-up scripts fail: not an error here.
  apt_install "${needed32[@]}" || echo "note: ${needed32[*]} did not install cleanly; the tests find out what runs"
fi
# Where 32-bit Wine cannot start, the 32-bit build is tested in an emulated VM (tools/vm32.sh).
if ! wine_can_start win32 >/dev/null; then
  mapfile -t needed < <(missing qemu-system-x86 debootstrap e2fsprogs)
  if [ ${#needed[@]} -gt 0 ]; then
    echo "installing, to emulate a 32-bit system: ${needed[*]}"
    apt_install --no-install-recommends "${needed[@]}"
  fi
fi
