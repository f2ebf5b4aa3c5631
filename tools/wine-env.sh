# Sourced by the scripts that run Windows programs (so it sets no shell options: each script's own
# `set -euo pipefail` holds): one Wine flavour per build tree, each with its
# own loader called explicitly (/usr/bin/wine prefers the 32-bit loader whenever it is installed,
# even where it cannot start) and its own prefix inside the tree.

# The loader of a flavour: win32 runs i686 programs, win64 x86_64 ones.
wine_loader() {
  case $1 in
    win32) echo /usr/lib/wine/wine ;;
    win64) echo /usr/lib/wine/wine64 ;;
  esac
}

# Succeeds when the flavour's loader starts on this machine (it does not where the kernel refuses
# 32-bit programs); otherwise prints why. SARVIK_64_ONLY=1 makes a machine that runs 32-bit Wine
# behave as one that runs 64-bit code only (the 32-bit suites then run emulated), to try that path.
wine_can_start() {
  local loader out
  if [ "$1" = win32 ] && [ "${SARVIK_64_ONLY:-0}" = 1 ]; then
    echo "SARVIK_64_ONLY=1: treated as a machine that runs 64-bit code only"
    return 1
  fi
  loader=$(wine_loader "$1")
  if [ ! -x "$loader" ]; then
    echo "$loader is not installed"
    return 1
  fi
  if ! out=$("$loader" --version 2>&1); then
    # The shell's own words end with the kernel's reason, such as "Exec format error".
    echo "$loader cannot start here (${out##*: })"
    return 1
  fi
}

# Chooses the tree whose programs the main job runs: win32, the product, where 32-bit Wine
# starts, else win64. Sets `tree`, and `why_not_win32` to the reason when it is not win32; fails,
# printing why, when neither flavour starts.
wine_choose_tree() {
  local why64
  tree=win32
  why_not_win32=$(wine_can_start win32) && return
  tree=win64
  why64=$(wine_can_start win64) && return
  echo "neither Wine flavour can start here: $why_not_win32; $why64" >&2
  return 1
}

# Sets up the environment for running the programs of build tree $1 (flavour $2).
wine_use() {
  export WINEPREFIX=$1/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINELOADER
  WINELOADER=$(wine_loader "$2")
  # One server serves both flavours where both are installed.
  if [ -x /usr/lib/wine/wineserver64 ]; then
    export WINESERVER=/usr/lib/wine/wineserver64
  else
    export WINESERVER=/usr/lib/wine/wineserver32
  fi
}

# Runs a Windows program of the tree set up by wine_use.
wine_run() {
  "$WINELOADER" "$@"
}

# Starts the server and makes the prefix, with every output sent nowhere: Wine's own processes
# inherit it and would keep a caller waiting on it.
wine_start() {
  "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true
  "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null
}

wine_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
}
