#!/usr/bin/env bash
# Makes the archives of tests/data/recovery, on which the recovery scan is
# tested (the tests cut and damage copies of them at run time), with real
# tools: Info-ZIP zip (seekable, and streaming to a pipe, which writes data
# descriptors), 7zz, and Python's zipfile writing to a pipe. Each archive gets
# a .layout file beside it: per entry its name, the offset of its local
# header and the offset just past its data (and descriptor), then the offsets
# of the central directory and the end record. Run from the project root:
#   tests/data/make-recovery-fixtures.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)/recovery
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$here"
rm -f "$here"/*.zip "$here"/*.layout

src=$work/src
mkdir -p "$src/docs/sub"
python3 - "$src" <<'PY'
import random, sys
src = sys.argv[1]
random.seed(27)
words = ["ledger", "harbour", "quartz", "lantern", "meadow", "copper", "signal", "orchard"]
def text(n):
    return "".join(random.choice(words) + random.choice(" \n") for _ in range(n))
open(f"{src}/docs/readme.txt", "w").write("Read me first.\n")
open(f"{src}/docs/sub/long.txt", "w").write(text(3000))
open(f"{src}/docs/notes.txt", "w").write(text(700))
open(f"{src}/noise.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(3000)))
open(f"{src}/empty.dat", "wb").write(b"")
open(f"{src}/last.txt", "w").write(text(400))
PY
find "$src" -exec touch -d '2024-03-05 10:20:30' {} +
files="docs/readme.txt docs/sub/long.txt noise.bin empty.dat docs/notes.txt last.txt"

# Info-ZIP zip with sizes in the local headers: Deflate, stored (the noise
# does not shrink), an empty file, a folder.
(cd "$src" && zip -q -X "$work/zip_plain.zip" docs/ $files)
# Info-ZIP zip writing to a pipe: every entry with a data descriptor.
(cd "$src" && printf '%s\n' $files | zip -q -X - -@ | cat > "$work/zip_stream.zip")
# The same, encrypted (password "secret"): descriptors after encrypted data.
(cd "$src" && printf '%s\n' $files | zip -q -X -P secret - -@ | cat > "$work/zip_crypt_stream.zip")
# 7-Zip.
(cd "$src" && 7zz a -tzip -bd -bso0 "$work/7zz.zip" $files >/dev/null)

# Python's zipfile writing to a pipe (data descriptors): a stored entry whose
# data holds descriptor signatures, one of them followed by the right sizes
# and a wrong CRC-32, so only the real descriptor ends it; Deflate around it.
python3 - "$work/py_stream.zip" "$src" <<'PY'
import io, struct, sys, zipfile
out, src = sys.argv[1], sys.argv[2]

class Pipe(io.RawIOBase):
    """A stream that cannot seek or tell, as a pipe."""
    def __init__(self):
        self.data = bytearray()
    def writable(self):
        return True
    def write(self, b):
        self.data += b
        return len(b)

head = b"stored data with a descriptor signature inside: "
trap = head + b"PK\x07\x08" + struct.pack("<III", 0x12345678, len(head), len(head))
trap += b" and a bare PK\x07\x08 too, then the rest of the data.\n" * 3
pipe = Pipe()
with zipfile.ZipFile(pipe, "w") as z:
    z.writestr(zipfile.ZipInfo("first.txt", (2024, 3, 5, 10, 20, 30)),
               open(f"{src}/docs/notes.txt", "rb").read(), compress_type=zipfile.ZIP_DEFLATED)
    z.writestr(zipfile.ZipInfo("trap.bin", (2024, 3, 5, 10, 20, 30)), trap,
               compress_type=zipfile.ZIP_STORED)
    z.writestr(zipfile.ZipInfo("after.txt", (2024, 3, 5, 10, 20, 30)),
               open(f"{src}/last.txt", "rb").read(), compress_type=zipfile.ZIP_DEFLATED)
open(out, "wb").write(pipe.data)
PY

# Python's zipfile: a name that leaves the destination, between safe ones.
python3 - "$work/py_unsafe.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for name in ("a.txt", "../escaped.txt", "b.txt"):
        z.writestr(zipfile.ZipInfo(name, (2024, 3, 5, 10, 20, 30)), f"contents of {name}\n" * 20)
PY

# Every archive must read back whole.
for f in "$work"/*.zip; do
  case $f in *crypt*) unzip -tqq -P secret "$f" >/dev/null ;; *) unzip -tqq "$f" >/dev/null ;; esac
  python3 - "$f" <<'PY'
import struct, sys, zipfile
path = sys.argv[1]
data = open(path, "rb").read()
end = data.rindex(b"PK\x05\x06")
cd = struct.unpack("<I", data[end + 16:end + 20])[0]
with zipfile.ZipFile(path) as z, open(path + ".layout", "w") as out:
    for i in z.infolist():
        h = i.header_offset
        n, m = struct.unpack("<HH", data[h + 26:h + 30])
        e = h + 30 + n + m + i.compress_size
        if i.flag_bits & 8:
            e += 16 if data[e:e + 4] == b"PK\x07\x08" else 12
        out.write(f"{i.filename}\t{h}\t{e}\n")
    out.write(f"central\t{cd}\t{end}\n")
PY
  cp "$f" "$f.layout" "$here/"
done
ls -l "$here"
