#!/usr/bin/env bash
# The main job, end to end: builds sarvik.dll and its tools, writes a sarvik.ini beside the DLL
# that points GrepCommand at sgrep (sarvik's own findstr stand-in: Wine's findstr prints nothing),
# lists real searches over samples/ through the plugin (the third with a notice among its results,
# as grep-like tools print), and opens an entry of each; the last search, one setting away from
# right, lists nothing and shows why. It uses the 32-bit build (the product) where 32-bit Wine
# runs, and the 64-bit build otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-env.sh
tools/install-deps.sh
wine_choose_tree || exit 1
if [ "$tree" = win32 ]; then
  echo "== using the 32-bit build (build/win32) under 32-bit Wine"
else
  echo "== using the 64-bit build (build/win64) under 64-bit Wine: $why_not_win32"
fi
tools/build.sh "$tree" >/dev/null

build=$PWD/build/$tree
wine_use "$build" "$tree"
[ -f "$WINEPREFIX/system.reg" ] || wine_start
win() { wine_run winepath -w "$1" 2>/dev/null; }

# sarvik.ini beside the DLL, as a user would write it (UTF-16 keeps the Japanese template intact).
write_ini() {
  { printf '[Config]\r\n'; printf '%s\r\n' "$@"; } | iconv -f UTF-8 -t UTF-16 >"$build/sarvik.ini"
  echo "== sarvik.ini"
  iconv -f UTF-16 -t UTF-8 "$build/sarvik.ini" | tr -d '\r'
}
sgrep=$(win "$build/sgrep.exe")
samples=$(win "$PWD/samples")
cd samples  # the search runs in the host's current directory

echo
echo "== the plugin's identity"
wine_run "$build/sarvik-host.exe" info

echo
write_ini "MessageOutput=1" "GrepCommand=\"$sgrep\" /N /I /P /S" \
  'Command=&EXEC "C:\Program Files\Editor\editor.exe" -n%d %s'
echo
echo "== a word search: 検索 in *.c and *.txt under samples/, then opening entry 3"
wine_run "$build/sarvik-host.exe" list "\"$samples\" 検索 *.c *.txt" --execute 3
echo
echo "== a phrase search, quoted as findstr wants it: /C:\"int main\" in *.c"
wine_run "$build/sarvik-host.exe" list "\"$samples\" /C:\"int main\" *.c" --execute 1

echo
# Without /P, like grep-like tools, sgrep prints a notice for a binary file that matches.
write_ini "MessageOutput=1" "CodePage=65001" "GrepCommand=\"$sgrep\" /N /I /S /UTF8"
echo
echo "== a tool that prints UTF-8, absolute paths and a notice among its results: 検索 or TODO in"
echo "   every file under $samples"
wine_run "$build/sarvik-host.exe" list "\"$samples\" \"検索 TODO\" \"$samples\\*\"" --execute 1

echo
# One setting away from right: without /N the search prints no line numbers, and a folder that
# does not exist makes it print an error among its output. Nothing is an entry; sarvik says why.
write_ini "GrepCommand=\"$sgrep\" /I"
echo
echo "== the same words without /N, with a folder that does not exist: nothing to list, and why"
wine_run "$build/sarvik-host.exe" list "\"$samples\" 検索 src\\*.c nosuchdir\\*.txt"
wine_stop
