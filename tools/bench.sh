#!/usr/bin/env bash
# Benchmarks (not tests), side by side in one run: listing throughput through the plugin against a
# bare reader of the same pipe, how the wait keeps pace with a search that prints in bursts, how
# long the host's messages wait while the pipe stays full, the line cutting's own cost
# (callgrind), memory for a long listing, and the time from the child's first output to
# ApiFindFirst returning. Results: docs/benchmarks.md.
# The Wine figures come from the 32-bit build where 32-bit Wine runs, else from the 64-bit build.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-env.sh
tools/install-deps.sh
wine_choose_tree || exit 1
if [ "$tree" = win32 ]; then
  echo "== Wine figures from the 32-bit build (build/win32)"
else
  echo "== Wine figures from the 64-bit build (build/win64): $why_not_win32"
fi
tools/build.sh native >/dev/null
tools/build.sh "$tree" >/dev/null
build=$PWD/build/$tree
wine_use "$build" "$tree"
[ -f "$WINEPREFIX/system.reg" ] || wine_start
bench() { wine_run "$build/sarvik-bench.exe" "$@"; }

echo "== listing throughput (Wine), 200,000 lines"
for per_file in 1 4 16; do bench throughput 200000 "$per_file"; echo; done

echo "== keeping pace (Wine): 100,000 lines written steadily, then in bursts of 1,000 lines 5 ms apart"
bench pace 100000 1000 5

echo
echo "== the host's messages while a writer keeps the pipe full (Wine), 200,000 lines"
bench pumping 200000

echo "== line cutting alone (native), code page 932 and the same text in UTF-8"
for encoding in cp932 utf8; do
  build/native/bench_reader 200000 "$encoding"
  valgrind --tool=callgrind --toggle-collect=ListAll --callgrind-out-file=/dev/null \
    build/native/bench_reader 200000 "$encoding" 2>&1 |
    awk '/Collected/ {printf "instructions: %d, %.1f per entry\n", $4, $4 / 200000}'
done

echo
echo "== memory (Wine)"
bench memory 1000
bench memory 1000000

echo
echo "== first output to ApiFindFirst returning (Wine)"
bench latency 30
wine_stop
