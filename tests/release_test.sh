#!/usr/bin/env bash
# The release as a user receives it. Made twice, from two folders at two times, the archives must
# be the same bytes. Unpacked, the sums hold, both DLLs pass the PE reader's checks, the plugin
# reading the unpacked sarvik.ini gets exactly what it gets with no file at all (the defaults),
# and a search lists through each unpacked DLL whose Wine starts here. Run after tools/build.sh
# (it borrows sarvik-host and sgrep from the build trees).
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/wine-env.sh
passed=0 failed=0
pass() { echo "ok    $1"; passed=$((passed + 1)); }
fail() { echo "FAIL  $1"; failed=$((failed + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unpack() { /usr/bin/python3 -m zipfile -e "$1" "$2"; }

first=$(tools/release.sh "$work/first" | tail -n 1)
sleep 2
git clone -q . "$work/elsewhere"
second=$("$work/elsewhere/tools/release.sh" "$work/second" | tail -n 1)
unpack "$first" "$work/a"
unpack "$second" "$work/b"
if cmp -s "$first" "$second"; then
  pass "two builds in two folders give the same archive, $(basename "$first")"
else
  differing=$(cd "$work/a" && find . -type f | sort | while read -r f; do
    cmp -s "$f" "$work/b/$f" || { echo "${f#./}"; break; }
  done)
  fail "two builds give different archives; first differing file: ${differing:-none, the archive itself}"
fi

package=$work/a
if (cd "$package" && sha256sum --quiet -c SHA256SUMS); then pass "SHA256SUMS"; else fail "SHA256SUMS"; fi
for dll in x86:i686 x64:x86_64; do
  if /usr/bin/python3 tests/dll_shape.py "$package/${dll%%:*}/sarvik.dll" "${dll#*:}" >"$work/shape.log"; then
    pass "${dll%%:*}/sarvik.dll as a PE reader sees it"
  else
    cat "$work/shape.log"
    fail "${dll%%:*}/sarvik.dll as a PE reader sees it"
  fi
done

samples=$PWD/samples
for pair in x64:win64 x86:win32; do
  folder=$package/${pair%%:*} tree=${pair#*:}
  if ! why=$(wine_can_start "$tree"); then
    echo "skip  ${pair%%:*}/sarvik.dll under Wine: $why"
    continue
  fi
  build=$PWD/build/$tree
  wine_use "$build" "$tree"
  [ -f "$WINEPREFIX/system.reg" ] || wine_start
  host() { (cd "$samples" && wine_run "$build/sarvik-host.exe" --dll "$(wine_run winepath -w "$folder/sarvik.dll" 2>/dev/null)" "$@"); }
  argument="\"$(wine_run winepath -w "$samples" 2>/dev/null)\" 検索 *.c *.txt"
  # What the plugin reads: the command line, the switches, and the commands opening an entry.
  settings() { host open "$argument"; host execute "$argument" /a.c:7; host execute2 "$argument" /a.c:7; }
  settings >"$work/without.txt" 2>&1
  cp "$package/sarvik.ini" "$folder/sarvik.ini"
  settings >"$work/with.txt" 2>&1
  if cmp -s "$work/without.txt" "$work/with.txt" && grep -q 'findstr /N /I /P' "$work/with.txt"; then
    pass "${pair%%:*}: the unpacked sarvik.ini gives exactly the defaults"
  else
    diff "$work/without.txt" "$work/with.txt" || true
    fail "${pair%%:*}: the unpacked sarvik.ini gives exactly the defaults"
  fi
  # Wine's findstr prints nothing: the listing uses sgrep, the rest of the file as unpacked.
  sgrep=$(wine_run winepath -w "$build/sgrep.exe" 2>/dev/null)
  iconv -f UTF-16 -t UTF-8 "$package/sarvik.ini" |
    sed "s|^GrepCommand=.*|GrepCommand=\"${sgrep//\\/\\\\}\" /N /I /P /S|" | iconv -f UTF-8 -t UTF-16 >"$folder/sarvik.ini"
  host list "$argument" >"$work/list.txt" 2>&1 || true
  if grep -q 'listing ended with -1 after [1-9]' "$work/list.txt" && grep -q 'メモ.txt:3' "$work/list.txt"; then
    pass "${pair%%:*}: a search lists through the unpacked DLL"
  else
    cat "$work/list.txt"
    fail "${pair%%:*}: a search lists through the unpacked DLL"
  fi
  wine_stop
done
echo "release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
