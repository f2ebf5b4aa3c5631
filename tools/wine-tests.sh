#!/usr/bin/env bash
# The Wine suites of one build tree, as ctest runs them:
#   wine-tests.sh up    BUILD FLAVOUR         find out how this flavour runs here; start it
#   wine-tests.sh suite BUILD FLAVOUR SUITE   run one suite (exit 77: skipped, with the reason)
#   wine-tests.sh down  BUILD FLAVOUR         stop Wine
# A flavour runs natively where its loader starts. Where 32-bit Wine cannot start, the 32-bit
# suites run in an emulated VM (tools/vm32.sh): `up` runs them all in one boot and `suite` reports
# each one's result. What `up` found is kept in BUILD/wine-state: "native", "vm" or "none", then
# a line saying how (or why not).
set -euo pipefail
usage() {
  echo "usage: $0 up|suite|down BUILD FLAVOUR [SUITE]" >&2
  exit 2
}
[ $# -ge 3 ] || usage
tools=$(cd "$(dirname "$0")" && pwd)
. "$tools/wine-env.sh"
verb=$1 build=$2 flavour=$3
state=$build/wine-state
vm=$build/vm  # the VM's share: the programs in, the results out
wine_use "$build" "$flavour"

# Copies the programs into the share and writes the job that runs every suite in the guest.
prepare_vm_job() {
  rm -rf "$vm"
  mkdir -p "$vm/bin" "$vm/results"
  cp "$build"/{wine_tests.exe,sarvik.dll,sarvik-child.exe,sgrep.exe} "$vm/bin/"
  {
    echo 'export WINEPREFIX=/root/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="'
    # Wine maps programs from the 9p share as zero pages: run a copy on the guest's own disk.
    echo 'cp -r /share/bin /tmp/bin || exit 1'
    echo 'wineserver -p; wine wineboot >/dev/null 2>&1 </dev/null'
    # Emulated, the soak loops run short: they prove the same, in minutes instead of twenty.
    echo 'export SARVIK_SOAK=short'
    while read -r suite; do
      [ -n "$suite" ] || continue
      echo "started=\$(date +%s)"
      echo "wine /tmp/bin/wine_tests.exe --gtest_filter='$suite.*' \\"
      echo "  >/share/results/$suite.log 2>&1 </dev/null"
      echo "echo \$? >/share/results/$suite.status"
      echo "echo \"$suite: \$((\$(date +%s) - started)) s\""
    done <"$build/wine-suites.txt"
    echo 'wineserver -k'
  } >"$vm/job.sh"
}

run_in_vm() {
  local image_log=$build/vm-image.log started
  if ! "$tools/vm32.sh" image >"$image_log" 2>&1; then
    printf 'none\n%s\n' "$1; the emulated VM could not be built: $(tail -n 1 "$image_log")" >"$state"
    return
  fi
  prepare_vm_job
  started=$(date +%s)
  # The job's status is each suite's; whether it ran at all is what counts here.
  "$tools/vm32.sh" run "$vm" >/dev/null 2>&1 || true
  if [ ! -f "$vm/job.started" ]; then
    printf 'none\n%s\n' "$1; the emulated VM did not boot" >"$state"
    return
  fi
  printf 'vm\n%s\n' "emulated: in a VM under qemu, every suite, soak loops short, $(($(date +%s) - started)) s" >"$state"
}

case $verb in
  up)
    rm -rf "$state" "$vm" "$build/vm-image.log"
    if why=$(wine_can_start "$flavour"); then
      if wine_start; then
        printf 'native\n%s\n' "natively, under $WINELOADER, soak loops in full" >"$state"
      else
        printf 'none\n%s\n' "$WINELOADER started but could not make a prefix" >"$state"
      fi
    elif [ "$flavour" = win32 ]; then
      run_in_vm "$why"
    else
      printf 'none\n%s\n' "$why" >"$state"
    fi
    exit 0
    ;;
  suite)
    [ $# -ge 4 ] || usage
    suite=$4
    mode=$(sed -n 1p "$state" 2>/dev/null || true)
    how=$(sed -n 2p "$state" 2>/dev/null || true)
    case $mode in
      native) exec "$WINELOADER" "$build/wine_tests.exe" --gtest_filter="$suite.*" ;;
      vm)
        if [ ! -f "$vm/results/$suite.status" ]; then
          echo "the VM did not finish this suite; its console ended:"
          tail -n 20 "$vm/console.log" || true
          cat "$vm/results/$suite.log" 2>/dev/null || true
          exit 1
        fi
        cat "$vm/results/$suite.log"
        exit "$(cat "$vm/results/$suite.status")"
        ;;
      *)
        echo "skipped: ${how:-Wine was not set up for this tree}"
        [ -f "$vm/console.log" ] && { echo "the VM's console ended:"; tail -n 20 "$vm/console.log"; }
        [ -f "$build/vm-image.log" ] && { echo "building the VM image ended:"; tail -n 20 "$build/vm-image.log"; }
        exit 77
        ;;
    esac
    ;;
  down)
    wine_stop
    ;;
  *) usage ;;
esac
