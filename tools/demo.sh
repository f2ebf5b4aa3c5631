#!/usr/bin/env bash
# The main job, end to end: builds sarvik.dll and its tools, writes a sarvik.ini beside the DLL
# that points GrepCommand at sgrep (sarvik's own findstr stand-in: Wine's findstr prints nothing),
# lists a real search over samples/ through the plugin, and opens one entry with a template that
# places the line number. It uses the 32-bit build (the product) where 32-bit Wine runs, and the
# 64-bit build otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-env.sh
tools/install-deps.sh
if why32=$(wine_can_start win32); then
  tree=win32
  echo "== using the 32-bit build (build/win32) under 32-bit Wine"
elif why64=$(wine_can_start win64); then
  tree=win64
  echo "== using the 64-bit build (build/win64) under 64-bit Wine: $why32"
else
  echo "neither Wine flavour can start here: $why32; $why64" >&2
  exit 1
fi
tools/build.sh "$tree" >/dev/null

build=$PWD/build/$tree
wine_use "$build" "$tree"
[ -f "$WINEPREFIX/system.reg" ] || wine_start
win() { wine_run winepath -w "$1" 2>/dev/null; }

# sarvik.ini beside the DLL, as a user would write it (UTF-16 keeps the Japanese template intact).
printf '[Config]\r\nMessageOutput=1\r\nGrepCommand="%s" /N /I /P /S\r\nCommand=&EXEC "C:\\Program Files\\Editor\\editor.exe" -n%%d %%s\r\n' \
  "$(win "$build/sgrep.exe")" | iconv -f UTF-8 -t UTF-16 > "$build/sarvik.ini"
echo "== sarvik.ini"
iconv -f UTF-16 -t UTF-8 "$build/sarvik.ini" | tr -d '\r'

samples=$(win "$PWD/samples")
echo
echo "== the plugin's identity"
wine_run "$build/sarvik-host.exe" info
echo
echo "== listing a search for 検索 in *.c and *.txt under samples/, then opening entry 3"
cd samples  # the search runs in the host's current directory
wine_run "$build/sarvik-host.exe" list "\"$samples\" 検索 *.c *.txt" --execute 3
wine_stop
