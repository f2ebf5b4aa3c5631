#!/usr/bin/env bash
# A Debian 12 system that runs 32-bit Wine, emulated by qemu, for machines whose kernel refuses
# 32-bit programs. Built from Debian's packages only, once per machine, into a cache folder
# outside the repository (SARVIK_VM_CACHE, default ~/.cache/sarvik/vm32).
#
#   vm32.sh image      build the image unless the cache holds one of this recipe
#   vm32.sh run DIR    boot it with DIR shared as /share; /share/job.sh runs as root with a 32-bit
#                      Wine prefix at /root/prefix; exits with the job's status, or 125 when the
#                      VM never ran the job (DIR/console.log then tells why)
#
# Every run boots a throw-away copy (-snapshot): nothing a job does stays in the image.
set -euo pipefail
cache=${SARVIK_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sarvik/vm32}
recipe=1  # raise when the image's recipe below changes, so that cached images are rebuilt
image=$cache/rootfs.img
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# The mirror this machine installs from, so the image needs no other network than the host's.
mirror() {
  local uri
  uri=$(grep -h -m1 -o -E '^URIs: *[^ ]+' /etc/apt/sources.list.d/debian.sources 2>/dev/null |
    sed 's/^URIs: *//' || true)
  [ -n "$uri" ] || uri=$(grep -h -m1 -o -E '^deb +http[^ ]+' /etc/apt/sources.list 2>/dev/null |
    sed 's/^deb *//' || true)
  echo "${SARVIK_VM_MIRROR:-${uri:-http://deb.debian.org/debian}}"
}

# Boots the image with DIR as the share; with `keep`, writes go to the image itself.
boot() {
  local dir=$1 keep=${2:-} snapshot=-snapshot
  [ "$keep" = keep ] && snapshot=
  rm -f "$dir/job.status" "$dir/job.started"
  # No hardware virtualisation here: TCG. Without smap=off, every 32-bit Wine process dies of a
  # page fault on iret.
  timeout "${SARVIK_VM_TIMEOUT:-3000}" qemu-system-x86_64 -accel tcg,thread=multi \
    -cpu max,smap=off -smp 2 -m 2048 -no-reboot -display none -monitor none \
    -serial "file:$dir/console.log" -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" \
    -append "root=/dev/vda rw console=ttyS0 init=/sbin/sarvik-vm-init panic=-1 quiet" \
    -drive "file=$image,format=raw,if=virtio" $snapshot \
    -virtfs "local,path=$dir,mount_tag=share,security_model=passthrough,id=share" || true
  [ -f "$dir/job.status" ] || return 125
  return "$(cat "$dir/job.status")"
}

build_image() {
  local work=$cache/work root=$cache/work/root log=$cache/build.log
  as_root rm -rf "$work" "$image"
  mkdir -p "$root"
  : >"$log"
  echo "building the 32-bit Wine VM image in $cache (about 5 minutes, once per machine)"
  command -v debootstrap >/dev/null && command -v qemu-system-x86_64 >/dev/null ||
    { echo "debootstrap or qemu-system-x86_64 is not installed" | tee -a "$log"; return 1; }
  as_root debootstrap --variant=minbase --arch=amd64 bookworm "$root" "$(mirror)" >>"$log" 2>&1 ||
    { echo "debootstrap failed" | tee -a "$log"; return 1; }
  # The share's modules are loaded by the guest's init from the image itself.
  printf '#!/bin/sh\nexit 101\n' | as_root tee "$root/usr/sbin/policy-rc.d" >/dev/null
  as_root chmod +x "$root/usr/sbin/policy-rc.d"
  as_root mount -t proc proc "$root/proc"
  as_root mount --bind /dev "$root/dev"
  local installed=0
  as_root chroot "$root" /bin/sh -c 'dpkg --add-architecture i386 && apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      linux-image-amd64 kmod wine wine32:i386 && apt-get clean' >>"$log" 2>&1 || installed=$?
  as_root umount "$root/dev" "$root/proc"
  [ "$installed" -eq 0 ] || { echo "installing the guest's packages failed" | tee -a "$log"; return 1; }

  as_root tee "$root/sbin/sarvik-vm-init" >/dev/null <<'INIT'
#!/bin/sh
# PID 1 of the VM: mount the share, run its job, hand back its status, power off.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mount -t devtmpfs dev /dev 2>/dev/null
mount -t tmpfs tmp /tmp
modprobe 9pnet_virtio && modprobe 9p
mkdir -p /share
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 share /share
# Wine cannot create files with Japanese names on the share under the C locale.
export HOME=/root LANG=C.UTF-8 USER=root
: >/share/job.started
sh /share/job.sh >/share/job.log 2>&1
echo $? >/share/job.status
sync
echo o >/proc/sysrq-trigger
sleep 60
INIT
  as_root chmod +x "$root/sbin/sarvik-vm-init"
  as_root cp "$root"/boot/vmlinuz-* "$cache/vmlinuz"
  as_root cp "$root"/boot/initrd.img-* "$cache/initrd.img"
  as_root mkfs.ext4 -q -F -L sarvik-vm32 -d "$root" "$image" 4G >>"$log" 2>&1 ||
    { echo "mkfs.ext4 failed" | tee -a "$log"; return 1; }
  as_root rm -rf "$work"

  # The 32-bit prefix takes about two minutes to make under emulation: make it once, in the image.
  local setup=$cache/setup
  mkdir -p "$setup"
  cat >"$setup/job.sh" <<'JOB'
export WINEPREFIX=/root/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine wineboot --init && wine cmd /c echo 32-bit Wine runs && wineserver -w
JOB
  local status=0
  SARVIK_VM_TIMEOUT=900 boot "$setup" keep || status=$?
  cat "$setup/job.log" >>"$log" 2>/dev/null || true
  if [ "$status" -ne 0 ] || ! grep -q '32-bit Wine runs' "$setup/job.log"; then
    echo "the VM did not make its Wine prefix (status $status); its console ended:" | tee -a "$log"
    tail -n 15 "$setup/console.log" | tee -a "$log"
    rm -f "$image"
    return 1
  fi
  rm -rf "$setup"
  echo "$recipe" >"$cache/recipe"
}

case ${1:-} in
  image)
    mkdir -p "$cache"
    exec 9>"$cache/lock"
    flock 9  # one build at a time; a second caller waits and then reuses it
    if [ -f "$image" ] && [ "$(cat "$cache/recipe" 2>/dev/null)" = "$recipe" ]; then
      exit 0
    fi
    started=$(date +%s)
    build_image
    echo "image built in $(($(date +%s) - started)) s: $(du -sh --apparent-size "$image" | cut -f1)" \
      "apparent, $(du -sh "$image" | cut -f1) on disk"
    ;;
  run)
    [ $# -ge 2 ] || { echo "usage: $0 image | run DIR" >&2; exit 2; }
    dir=$(realpath "$2")
    [ -f "$image" ] || { echo "no image: run $0 image first" >&2; exit 125; }
    status=0
    boot "$dir" || status=$?
    exit "$status"
    ;;
  *)
    echo "usage: $0 image | run DIR" >&2
    exit 2
    ;;
esac
