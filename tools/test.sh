#!/usr/bin/env bash
# Builds everything and runs every test: natively under the sanitizers, the fuzz targets for a
# bounded time, then both Windows builds under whichever Wine this machine can start. Exits
# non-zero when any test fails, or when neither build could be proven under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-env.sh
tools/install-deps.sh
status=0
run_tree() { (cd "build/$1" && ctest --output-on-failure -j2); }
# Where 32-bit Wine cannot start, the 32-bit suites run in an emulated VM, the longest path by far:
# they start first and run beside the rest, which mostly waits on Wine and yields the processors to
# them (slowed by the rest, the VM took half as long again). Their output comes last. Job control
# gives them a process group that an interrupt can stop.
vm_job=
tools/build.sh win32
if ! wine_can_start win32 >/dev/null; then
  set -m
  run_tree win32 >build/win32/ctest.log 2>&1 &
  vm_job=$!
  set +m
  trap 'if [ -n "$vm_job" ]; then kill -- "-$vm_job" 2>/dev/null || true; fi' EXIT
  trap 'exit 130' INT TERM
  renice -n 10 -p $$ >/dev/null
fi
for tree in native fuzz win64; do tools/build.sh "$tree"; done
(cd build/native && ctest --output-on-failure) || status=1
(cd build/fuzz && ctest --output-on-failure -j2) || status=1
# The release archive, made twice and checked as a user unpacks it.
tests/release_test.sh || status=1
proven=()
ran_any=0
for tree in win64:64-bit win32:32-bit; do
  label=${tree#*:} tree=${tree%%:*}
  ran=0
  if [ "$tree" = win32 ] && [ -n "$vm_job" ]; then
    echo "waiting for the 32-bit suites in the emulated VM"
    wait "$vm_job" || ran=$?
    vm_job=
    cat build/win32/ctest.log
  else
    run_tree "$tree" || ran=$?
  fi
  [ "$ran" -eq 0 ] || status=1
  mode=$(sed -n 1p "build/$tree/wine-state" 2>/dev/null || true)
  how=$(sed -n 2p "build/$tree/wine-state" 2>/dev/null || true)
  case $mode in
    none) echo "$tree: Wine suites skipped: $how" ;;
    "") echo "$tree: Wine was never set up" ;;
    *)
      ran_any=1
      if [ "$ran" -ne 0 ]; then
        echo "$tree: tests failed"
      elif [ "$tree" = win32 ]; then
        proven=("$label ($how)" "${proven[@]}")
      else
        proven+=("$label ($how)")
      fi
      ;;
  esac
done
if [ ${#proven[@]} -eq 0 ]; then
  if [ "$ran_any" -eq 1 ]; then
    echo "Proven under Wine: nothing, since tests failed (above)."
  else
    echo "Proven under Wine: nothing. Neither build ran under Wine here: 64-bit Wine needs wine64; the"
    echo "32-bit build needs wine32 on a machine that runs 32-bit programs, or qemu-system-x86 and"
    echo "debootstrap to emulate one (tools/install-deps.sh installs them)."
  fi
  exit 1
fi
(IFS=','; echo "Proven under Wine:${proven[*]/#/ }")
exit $status
