#!/usr/bin/env bash
# The Wine suites of one build tree, as ctest runs them:
#   wine-tests.sh up    BUILD FLAVOUR         find out whether this flavour runs here; start it
#   wine-tests.sh suite BUILD FLAVOUR SUITE   run one suite (exit 77: skipped, with the reason)
#   wine-tests.sh down  BUILD FLAVOUR         stop Wine
# What `up` found is kept in BUILD/wine-state: "native" or "none", then a line saying how (or why
# not).
set -uo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
. "$tools/wine-env.sh"
verb=$1 build=$2 flavour=$3
state=$build/wine-state
wine_use "$build" "$flavour"

case $verb in
  up)
    rm -f "$state"
    if why=$(wine_can_start "$flavour"); then
      if wine_start; then
        printf 'native\n%s\n' "under $WINELOADER" >"$state"
      else
        printf 'none\n%s\n' "$WINELOADER started but could not make a prefix" >"$state"
      fi
    else
      printf 'none\n%s\n' "$why" >"$state"
    fi
    exit 0
    ;;
  suite)
    suite=$4
    mode=$(sed -n 1p "$state" 2>/dev/null)
    how=$(sed -n 2p "$state" 2>/dev/null)
    case $mode in
      native) exec "$WINELOADER" "$build/wine_tests.exe" --gtest_filter="$suite.*" ;;
      *)
        echo "skipped: ${how:-Wine was not set up for this tree}"
        exit 77
        ;;
    esac
    ;;
  down)
    wine_stop
    ;;
  *)
    echo "usage: $0 up|suite|down BUILD FLAVOUR [SUITE]" >&2
    exit 2
    ;;
esac
