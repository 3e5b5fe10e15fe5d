#!/usr/bin/env bash
# Makes the Deflate64 and refused-method fixtures of tests/data/extract/ with 7-Zip:
#   7zz_deflate64_far.zip   Deflate64 (method 9) of data whose repeats lie 34 and
#                           50 KB back, so distance codes 30 and 31 occur (checked
#                           with deflate64-codes.py); .expect from 7zz's own
#                           extraction. 7-Zip writes no match longer than 257
#                           bytes, so length code 285's wide form is tested with
#                           streams the tests write themselves.
#   7zz_ppmd.zip            PPMd (method 98), which stays refused.
#   tests/data/make-deflate64-fixtures.sh     (from the project root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/extract
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$work/src/far"
python3 - "$work/src/far" <<'PY'
import random, sys
r = random.Random(7)
# Two bits of randomness a byte keeps the archive small; the repeats of a and
# b are the long matches, 34,000 (code 30) and 50,000 (code 31) bytes back.
a = bytes(r.choice(b"acgt") for _ in range(34000))
b = bytes(r.choice(b"acgt") for _ in range(50000))
open(sys.argv[1] + "/repeats.bin", "wb").write(a + a + b + b + bytes(20000) + a[:5000] * 3)
open(sys.argv[1] + "/small.txt", "w").write("short and plain\n")
PY
python3 -c 'print("".join("line %04d of a text to compress\n" % i for i in range(300)), end="")' > "$work/src/readme.txt"
find "$work/src" -exec touch -d '2011-06-15 13:37:42' {} +
rm -f "$out/7zz_deflate64_far.zip" "$out/7zz_ppmd.zip"
(cd "$work/src" && 7zz a -tzip -bd -bso0 -mm=Deflate64 -mx9 "$out/7zz_deflate64_far.zip" far >/dev/null)
(cd "$work/src" && 7zz a -tzip -bd -bso0 -mm=PPMd "$out/7zz_ppmd.zip" readme.txt >/dev/null)

codes=$(python3 "$here/deflate64-codes.py" "$out/7zz_deflate64_far.zip" | awk '$1 == "far/repeats.bin" {print $4}')
[ "${codes:-0}" -gt 0 ] || { echo "no distance code 30 or 31 in the Deflate64 fixture" >&2; exit 1; }

# The manifest from 7-Zip's extraction (Python's zipfile cannot read method 9).
mkdir "$work/x"
7zz x -bd -bso0 -o"$work/x" "$out/7zz_deflate64_far.zip" >/dev/null
python3 - "$work/x" "$out/7zz_deflate64_far.expect" <<'PY'
import os, sys, zlib
root, manifest = sys.argv[1], sys.argv[2]
lines = []
for d, dirs, files in sorted(os.walk(root)):
    dirs.sort()
    if d != root:
        lines.append(f"D\t{os.path.relpath(d, root).lower()}/\n")
    for name in sorted(files):
        path = os.path.join(d, name)
        data = open(path, "rb").read()
        rel = os.path.relpath(path, root).lower()
        lines.append(f"F\t{rel}\t{len(data)}\t{zlib.crc32(data):08x}\t\n")
open(manifest, "w").write("".join(lines))
PY
