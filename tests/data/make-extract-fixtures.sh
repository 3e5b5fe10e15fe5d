#!/usr/bin/env bash
# Makes the fixture archives of the extraction and test batches (tests/data/extract/)
# with real tools: Info-ZIP zip, 7-Zip (7zz), bsdtar and Python's zipfile, plus
# hostile archives made with Python. Beside each good archive it writes
# NAME.expect: what Python's zipfile extracts from it, one line per entry:
#   D <TAB> path/                              a folder entry
#   F <TAB> path <TAB> size <TAB> crc32 <TAB> password   a file (password may be empty)
#   X <TAB> path                               a method Python's zipfile cannot read
# with paths lower-cased as the engine writes them. The archives are committed;
# run this again only to change them.
#   tests/data/make-extract-fixtures.sh     (from the project root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/extract
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$out"
rm -f "$out"/*.zip "$out"/*.expect

# --- a source tree with fixed contents and times
src=$work/src
mkdir -p "$src/Docs/Sub" "$src/Empty Dir" "$src/Data"
printf 'Read me first.\n' > "$src/Docs/ReadMe.TXT"
python3 - "$src" <<'PY'
import sys, random
d = sys.argv[1]
random.seed(3)
open(f"{d}/Docs/Sub/long.txt", "w").write("".join("line %05d of a text that repeats a little\n" % i for i in range(2500)))
open(f"{d}/Data/random.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(70000)))
words = ["alpha", "beta", "gamma", "delta", "eps", "zeta", "eta", "theta"]
open(f"{d}/Data/words.txt", "w").write(" ".join(random.choice(words) for _ in range(20000)))
PY
: > "$src/empty.dat"
printf 'no extension\n' > "$src/NoExt"
find "$src" -exec touch -d '2011-06-15 13:37:42' {} +

# --- Info-ZIP zip
(cd "$src" && zip -q -X -0 -r "$work/zip_stored.zip" Docs "Empty Dir" empty.dat NoExt)
(cd "$src" && zip -q -X -1 -r "$work/zip_deflate1.zip" Docs Data empty.dat NoExt)
(cd "$src" && zip -q -X -9 -r "$work/zip_deflate9.zip" Docs Data "Empty Dir" empty.dat NoExt)
# Several passwords in one archive, and one plain entry. Info-ZIP zip flags its
# encrypted entries with a data descriptor.
(cd "$src" && zip -q -X -P alpha "$work/zip_multipass.zip" Docs/ReadMe.TXT \
   && zip -q -X -P beta "$work/zip_multipass.zip" Docs/Sub/long.txt \
   && zip -q -X "$work/zip_multipass.zip" NoExt \
   && zip -q -X -0 -P alpha "$work/zip_multipass.zip" empty.dat)
# Streamed to a pipe: sizes and CRC-32 in data descriptors after the data.
(cd "$src" && zip -q -X -fz- -r - Docs empty.dat NoExt | cat > "$work/zip_streamed.zip")
(cd "$src" && zip -q -X -fz- -0 -r - Docs empty.dat | cat > "$work/zip_streamed_stored.zip")
(cd "$src" && zip -q -X -fz- -P gamma - Docs/ReadMe.TXT NoExt | cat > "$work/zip_streamed_encrypted.zip")

# --- 7-Zip
(cd "$src" && 7zz a -tzip -bd -bso0 -mm=Deflate "$work/7zz_deflate.zip" Docs Data empty.dat >/dev/null)
(cd "$src" && 7zz a -tzip -bd -bso0 -mx0 "$work/7zz_store.zip" Docs NoExt empty.dat >/dev/null)
(cd "$src" && 7zz a -tzip -bd -bso0 -mem=ZipCrypto -pdelta "$work/7zz_zipcrypto.zip" Docs NoExt >/dev/null)
# Several passwords in one archive (7-Zip writes no data descriptor for them).
(cd "$src" && 7zz a -tzip -bd -bso0 -mem=ZipCrypto -palpha "$work/7zz_multipass.zip" Docs/ReadMe.TXT >/dev/null \
   && 7zz a -tzip -bd -bso0 -mem=ZipCrypto -pbeta "$work/7zz_multipass.zip" Docs/Sub/long.txt >/dev/null \
   && 7zz a -tzip -bd -bso0 "$work/7zz_multipass.zip" NoExt >/dev/null \
   && 7zz a -tzip -bd -bso0 -mem=ZipCrypto -palpha "$work/7zz_multipass.zip" empty.dat Data/words.txt >/dev/null)
for m in Deflate64 BZip2 LZMA; do
  (cd "$src" && 7zz a -tzip -bd -bso0 -mm=$m "$work/7zz_$(echo $m | tr A-Z a-z).zip" Docs/Sub/long.txt >/dev/null)
done

# --- bsdtar
(cd "$src" && bsdtar --format zip -cf "$work/bsdtar.zip" Docs empty.dat NoExt "Empty Dir")

# --- Python's zipfile: stored and deflated, entries over 64 KB, and an archive
# written to an unseekable stream (data descriptors, an empty deflated entry)
python3 - "$work" "$src" <<'PY'
import sys, zipfile, io
w, src = sys.argv[1], sys.argv[2]
big = open(f"{src}/Docs/Sub/long.txt", "rb").read()
rnd = open(f"{src}/Data/random.bin", "rb").read()
def info(name, method):
    i = zipfile.ZipInfo(name, date_time=(2020, 2, 29, 23, 59, 58))
    i.compress_type = method
    return i
with zipfile.ZipFile(f"{w}/py_mixed.zip", "w") as z:
    z.writestr(info("Stored/Big.TXT", zipfile.ZIP_STORED), big)
    z.writestr(info("Deflated/Big.txt", zipfile.ZIP_DEFLATED), big)
    z.writestr(info("Deflated/random.bin", zipfile.ZIP_DEFLATED), rnd)
    z.writestr(info("tiny", zipfile.ZIP_DEFLATED), b"x")
    z.writestr(info("Folder/", zipfile.ZIP_STORED), b"")
class Unseekable(io.RawIOBase):
    def __init__(self, f): self.f = f
    def writable(self): return True
    def write(self, b): return self.f.write(b)
with open(f"{w}/py_streamed.zip", "wb") as raw:
    with zipfile.ZipFile(Unseekable(raw), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in [("Stream/Big.txt", big), ("Stream/empty-deflated.txt", b""),
                           ("Stream/random.bin", rnd), ("after-empty.txt", b"after\n")]:
            with z.open(info(name, zipfile.ZIP_DEFLATED), "w") as f:
                f.write(data)
PY

# --- What Python's zipfile extracts from every good archive
python3 - "$work" <<'PY'
import sys, zipfile, zlib, glob, os
w = sys.argv[1]
passwords = [b"alpha", b"beta", b"gamma", b"delta"]
def lower(s): return "".join(c.lower() if "A" <= c <= "Z" else c for c in s)
for path in sorted(glob.glob(f"{w}/*.zip")):
    lines = []
    with zipfile.ZipFile(path) as z:
        for i in z.infolist():
            raw = i.orig_filename.encode("utf-8" if i.flag_bits & 0x800 else "cp437").decode("latin-1")
            name = lower(raw)
            if name.endswith("/"):
                lines.append(f"D\t{name}")
                continue
            data, used = None, ""
            for pw in ([None] if not i.flag_bits & 1 else passwords):
                try:
                    data = z.read(i, pwd=pw)
                    used = pw.decode() if pw else ""
                    break
                except NotImplementedError:
                    break
                except (RuntimeError, zipfile.BadZipFile, zlib.error):
                    continue
            if data is None:
                lines.append(f"X\t{name}")
            else:
                lines.append(f"F\t{name}\t{len(data)}\t{zlib.crc32(data):08x}\t{used}")
    open(path[:-4] + ".expect", "w").write("\n".join(lines) + "\n")
PY

# --- Hostile archives, made from scratch with Python's zipfile and patched bytes
python3 - "$work" <<'PY'
import sys, zipfile, struct
w = sys.argv[1]
def info(name, method=zipfile.ZIP_STORED):
    i = zipfile.ZipInfo(name, date_time=(2001, 1, 1, 0, 0, 0))
    i.compress_type = method
    return i
# Names that reach outside the destination, between two harmless ones.
names = ["../evil1.txt", "a/../../evil2.txt", "/tmp/evil3.txt", "\\evil4.txt",
         "c:evil5.txt", "C:/evil6.txt", "..\\evil7.txt", "../evildir/", "sub/..\\..\\evil8.txt"]
with zipfile.ZipFile(f"{w}/evil_paths.zip", "w") as z:
    z.writestr(info("first.txt"), b"first\n")
    for k, n in enumerate(names):
        # zipfile rewrites some of these names; they are patched in below.
        z.writestr(info(f"p{k}".ljust(len(n), "_")), b"evil\n")
    z.writestr(info("last.txt"), b"last\n")
data = bytearray(open(f"{w}/evil_paths.zip", "rb").read())
for k, n in enumerate(names):
    placeholder = f"p{k}".ljust(len(n), "_").encode()
    pos = 0
    for _ in range(2):  # local header and central header
        pos = data.index(placeholder, pos)
        data[pos:pos + len(n)] = n.encode()
        pos += len(n)
open(f"{w}/evil_paths.zip", "wb").write(data)

# Three entries, the middle local header's signature damaged.
with zipfile.ZipFile(f"{w}/bad_middle_header.zip", "w") as z:
    for n in ["one.txt", "two.txt", "three.txt"]:
        z.writestr(info(n), (n + "\n").encode() * 10)
data = bytearray(open(f"{w}/bad_middle_header.zip", "rb").read())
second = data.index(b"PK\x03\x04", 1)
data[second:second + 4] = b"PK\x07\x07"
open(f"{w}/bad_middle_header.zip", "wb").write(data)

def one_entry(path, name=b"a.txt", payload=b"hello hello\n", method=zipfile.ZIP_STORED, pwd_flag=False):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr(info(name.decode(), method), payload)
    return bytearray(open(path, "rb").read())

# A local header whose name length says 600 (the central one is fine).
d = one_entry(f"{w}/bad_local_long_name.zip")
struct.pack_into("<H", d, 26, 600)
open(f"{w}/bad_local_long_name.zip", "wb").write(d)
# A local extra field of 40,000 bytes: longer than the input buffer.
d = one_entry(f"{w}/bad_local_big_extra.zip")
struct.pack_into("<H", d, 28, 40000)
open(f"{w}/bad_local_big_extra.zip", "wb").write(d)
# A central header pointing to a local header 10 bytes before the end of the file.
d = one_entry(f"{w}/bad_local_past_end.zip")
eocd = d.rindex(b"PK\x05\x06")
cd = struct.unpack_from("<I", d, eocd + 16)[0]
struct.pack_into("<I", d, cd + 42, len(d) - 10)
open(f"{w}/bad_local_past_end.zip", "wb").write(d)
# The same pointing far beyond the end of the file.
struct.pack_into("<I", d, cd + 42, 0x7FFFFF00)
open(f"{w}/bad_local_far.zip", "wb").write(d)
# Declared uncompressed sizes larger and smaller than the stored data
# (in both headers, so Python reads the same numbers).
for tag, size in [("larger", 4000), ("smaller", 5)]:
    d = one_entry(f"{w}/bad_size_{tag}.zip", payload=b"0123456789" * 30)
    eocd = d.rindex(b"PK\x05\x06")
    cd = struct.unpack_from("<I", d, eocd + 16)[0]
    struct.pack_into("<I", d, 22, size)
    struct.pack_into("<I", d, cd + 24, size)
    open(f"{w}/bad_size_{tag}.zip", "wb").write(d)
# A deflated entry claiming 2 GB - 1 uncompressed.
d = one_entry(f"{w}/bad_huge_size.zip", payload=b"abc" * 1000, method=zipfile.ZIP_DEFLATED)
eocd = d.rindex(b"PK\x05\x06")
cd = struct.unpack_from("<I", d, eocd + 16)[0]
struct.pack_into("<I", d, 22, 0x7FFFFFFF)
struct.pack_into("<I", d, cd + 24, 0x7FFFFFFF)
open(f"{w}/bad_huge_size.zip", "wb").write(d)
# An encrypted entry whose compressed size (5, in both headers) cannot hold the
# 12-byte header.
d = one_entry(f"{w}/bad_crypt_short.zip")
struct.pack_into("<H", d, 6, 1)
struct.pack_into("<I", d, 18, 5)
eocd = d.rindex(b"PK\x05\x06")
cd = struct.unpack_from("<I", d, eocd + 16)[0]
struct.pack_into("<H", d, cd + 8, 1)
struct.pack_into("<I", d, cd + 20, 5)
open(f"{w}/bad_crypt_short.zip", "wb").write(d)
# A stored entry whose data is damaged: one byte flipped.
d = one_entry(f"{w}/bad_crc.zip", payload=b"good data " * 20)
d[30 + 5 + 3] ^= 0x20
open(f"{w}/bad_crc.zip", "wb").write(d)
# A name with terminal control characters.
with zipfile.ZipFile(f"{w}/ctl_name.zip", "w") as z:
    z.writestr(info("Bad\x1b[31mName\x07.txt"), b"ctl\n")
# A deflated archive cut in the middle of its data, its directory kept.
good = bytearray(open(f"{w}/py_mixed.zip", "rb").read())
eocd = good.rindex(b"PK\x05\x06")
cd = struct.unpack_from("<I", good, eocd + 16)[0]
cut = 20000
tail = good[cd:]
struct.pack_into("<I", tail, len(tail) - 22 + 16, cut)
open(f"{w}/bad_truncated.zip", "wb").write(good[:cut] + tail)
PY

cp "$work"/*.zip "$work"/*.expect "$out"/
echo "extraction fixtures written to $out"
