#!/usr/bin/env bash
# Makes the release a Windows user downloads: both DLLs built from the commit (not from what lies
# around in the work tree), a sarvik.ini holding every key at its default, the user's text, and
# SHA256SUMS of them, in OUTPUT/sarvik-VERSION.zip (OUTPUT: dist/). The same commit gives the same
# bytes wherever and whenever it is built: the PE files carry no link time and no build path, and
# the archive's entries come in a fixed order with the commit's time (or SOURCE_DATE_EPOCH).
set -euo pipefail
[ $# -le 1 ] || { echo "usage: $0 [OUTPUT]" >&2; exit 2; }
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-dist}")
tools/install-deps.sh >/dev/null
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/package/x86" "$work/package/x64" "$out"
git archive HEAD | tar -x -C "$work/src"
version=$(sed -n 's/^#define SARVIK_VERSION_TEXT "\(.*\)"$/\1/p' "$work/src/plugin/version.h")

for arch in i686:x86 x86_64:x64; do
  cmake --no-warn-unused-cli -S "$work/src" -B "$work/build-${arch%%:*}" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-${arch%%:*}.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$work/build-${arch%%:*}" --target sarvik >/dev/null
  cp "$work/build-${arch%%:*}/sarvik.dll" "$work/package/${arch#*:}/sarvik.dll"
done
# The profile reader reads UTF-16 with its byte-order mark whatever the system's code page, so the
# Japanese comments survive; the user's text is UTF-8 with its mark, which Notepad reads.
{ printf '\xff\xfe'; sed 's/$/\r/' "$work/src/release/sarvik.ini" | iconv -f UTF-8 -t UTF-16LE; } >"$work/package/sarvik.ini"
{ printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/; s/\$/\r/" "$work/src/release/readme.txt"; } >"$work/package/readme.txt"
(cd "$work/package" && sha256sum readme.txt sarvik.ini x64/sarvik.dll x86/sarvik.dll >SHA256SUMS)

zip=$out/sarvik-$version.zip
/usr/bin/python3 - "$work/package" "$zip" "$stamp" <<'PY'
import os, sys, time, zipfile
folder, target, stamp = sys.argv[1], sys.argv[2], int(sys.argv[3])
when = time.gmtime(max(stamp, 315532800))[:6]  # a zip cannot hold a time before 1980
names = sorted(os.path.relpath(os.path.join(d, f), folder).replace(os.sep, "/")
               for d, _, files in os.walk(folder) for f in files)
with zipfile.ZipFile(target, "w") as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, when)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.external_attr = 0o644 << 16
        with open(os.path.join(folder, name), "rb") as data:
            archive.writestr(entry, data.read(), compresslevel=9)
PY
echo "$zip"
