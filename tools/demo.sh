#!/usr/bin/env bash
# The main job, end to end: builds sarvik.dll and its tools, writes a sarvik.ini beside the DLL
# that points GrepCommand at sgrep (sarvik's own findstr stand-in: Wine's findstr prints nothing),
# lists a real search over samples/ through the plugin, and opens one entry with a template that
# places the line number.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh win32 >/dev/null

build=$PWD/build/win32
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || wine wineboot >/dev/null 2>&1 </dev/null
win() { winepath -w "$1" 2>/dev/null; }

# sarvik.ini beside the DLL, as a user would write it (UTF-16 keeps the Japanese template intact).
printf '[Config]\r\nMessageOutput=1\r\nGrepCommand="%s" /N /I /P /S\r\nCommand=&EXEC "C:\\Program Files\\Editor\\editor.exe" -n%%d %%s\r\n' \
  "$(win "$build/sgrep.exe")" | iconv -f UTF-8 -t UTF-16 > "$build/sarvik.ini"
echo "== sarvik.ini"
iconv -f UTF-16 -t UTF-8 "$build/sarvik.ini" | tr -d '\r'

samples=$(win "$PWD/samples")
echo
echo "== the plugin's identity"
wine "$build/sarvik-host.exe" info
echo
echo "== listing a search for 検索 in *.c and *.txt under samples/, then opening entry 3"
cd samples  # the search runs in the host's current directory
wine "$build/sarvik-host.exe" list "\"$samples\" 検索 *.c *.txt" --execute 3
wineserver -k 2>/dev/null || true
