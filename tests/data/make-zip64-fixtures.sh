#!/usr/bin/env bash
# Makes the fixture archives of ZIP64 records and archives behind a prefix
# (tests/data/extract/zip64_*, prefix_*) and an AES-encrypted one, with real
# tools: Info-ZIP zip (-fz, and reading standard input), Python's zipfile
# (force_zip64) and 7-Zip. Beside each it writes NAME.expect in the format of
# make-extract-fixtures.sh: what Python's zipfile extracts. Archives too large
# to commit (70,000 entries, beyond 4 GiB) are made by the tests themselves
# with make-many-entries.py and make-large-zip.py (beside this script).
#   tests/data/make-zip64-fixtures.sh     (from the project root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/extract
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$out"

src=$work/src
mkdir -p "$src/Docs"
python3 - "$src" <<'PY'
import sys
d = sys.argv[1]
open(f"{d}/Docs/Notes.txt", "w").write("".join("note %04d: sizes are 64-bit now\n" % i for i in range(400)))
open(f"{d}/small.txt", "w").write("small and stored\n")
PY
find "$src" -exec touch -d '2019-04-01 08:30:00' {} +

# zip reading standard input: all ones in the local header's sizes, the real
# sizes in a ZIP64 extra field, a data descriptor.
python3 -c 'print("".join("line %05d from a pipe\n" % i for i in range(3000)), end="")' \
  | zip -q -X "$work/zip64_pipe.zip" -
# zip -fz: ZIP64 records throughout, also the end record's offset as all ones.
(cd "$src" && zip -q -X -fz -r "$work/zip64_fz.zip" Docs small.txt)
# Python's zipfile with force_zip64: ZIP64 fields in the local headers.
python3 - "$work" "$src" <<'PY'
import sys, zipfile
w, src = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(f"{w}/zip64_py.zip", "w") as z:
    for name, method in (("Docs/Notes.txt", zipfile.ZIP_DEFLATED), ("small.txt", zipfile.ZIP_STORED)):
        info = zipfile.ZipInfo(name, date_time=(2019, 4, 1, 8, 30, 0))
        info.compress_type = method
        with z.open(info, "w", force_zip64=True) as f:
            f.write(open(f"{src}/{name}", "rb").read())
PY
# 1,000 bytes in front of an archive (a self-extracting stub, `cat stub a.zip`):
# every stored offset is short by that much. Once a plain archive, once ZIP64.
python3 -c 'import sys; sys.stdout.buffer.write(bytes(range(250)) * 4)' > "$work/stub.bin"
(cd "$src" && zip -q -X -r "$work/plain.zip" Docs small.txt)
cat "$work/stub.bin" "$work/plain.zip" > "$work/prefix_1000.zip"
cat "$work/stub.bin" "$work/zip64_fz.zip" > "$work/prefix_zip64.zip"
rm "$work/stub.bin" "$work/plain.zip"
# AES-256 (method 99), as 7-Zip writes it; Python's zipfile cannot read it.
(cd "$src" && 7zz a -tzip -bd -bso0 -mem=AES256 -paes "$work/aes_7zz.zip" small.txt >/dev/null)

# --- What Python's zipfile extracts
python3 - "$work" <<'PY'
import sys, zipfile, zlib, glob
w = sys.argv[1]
def lower(s): return "".join(c.lower() if "A" <= c <= "Z" else c for c in s)
for path in sorted(glob.glob(f"{w}/*.zip")):
    lines = []
    with zipfile.ZipFile(path) as z:
        for i in z.infolist():
            name = lower(i.orig_filename.encode("utf-8" if i.flag_bits & 0x800 else "cp437").decode("latin-1"))
            if name.endswith("/"):
                lines.append(f"D\t{name}")
                continue
            try:
                data = z.read(i, pwd=b"aes" if i.flag_bits & 1 else None)
            except NotImplementedError:
                lines.append(f"X\t{name}")
                continue
            lines.append(f"F\t{name}\t{len(data)}\t{zlib.crc32(data):08x}\t")
    open(path[:-4] + ".expect", "w").write("\n".join(lines) + "\n")
PY

cp "$work"/*.zip "$work"/*.expect "$out"/
echo "ZIP64 and prefix fixtures written to $out"
