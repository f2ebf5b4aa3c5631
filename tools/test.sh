#!/usr/bin/env bash
# Builds everything and runs every test: natively under the sanitizers, the fuzz targets for a
# bounded time, then both Windows builds under whichever Wine this machine can start. Exits
# non-zero when any test fails, or when neither build could be proven under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh all
status=0
(cd build/native && ctest --output-on-failure) || status=1
(cd build/fuzz && ctest --output-on-failure -j2) || status=1
proven=()
ran_any=0
for tree in win32:32-bit win64:64-bit; do
  label=${tree#*:} tree=${tree%%:*}
  ran=0
  (cd "build/$tree" && ctest --output-on-failure -j2) || ran=$?
  [ "$ran" -eq 0 ] || status=1
  mode=$(sed -n 1p "build/$tree/wine-state" 2>/dev/null || true)
  how=$(sed -n 2p "build/$tree/wine-state" 2>/dev/null || true)
  case $mode in
    none) echo "$tree: Wine suites skipped: $how" ;;
    "") echo "$tree: Wine was never set up" ;;
    *)
      ran_any=1
      if [ "$ran" -eq 0 ]; then proven+=("$label ($how)"); else echo "$tree: tests failed"; fi
      ;;
  esac
done
# The release archive, made twice and checked as a user unpacks it.
tests/release_test.sh || status=1
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
