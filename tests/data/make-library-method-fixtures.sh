#!/usr/bin/env bash
# Makes the fixtures of the library methods (tests/data/methods/): bzip2 (12),
# LZMA (14), XZ (95) and Zstandard (93).
#
# Good archives, beside each its NAME.expect manifest (the format of
# make-extract-fixtures.sh: D <TAB> folder/, F <TAB> path <TAB> size <TAB> crc32 <TAB> password):
#   7zz_bzip2.zip 7zz_lzma.zip 7zz_xz.zip  7-Zip's -mm=BZip2 / LZMA / XZ (LZMA
#                                          without the end marker)
#   py_bzip2.zip py_lzma.zip               Python's zipfile (LZMA with the end
#                                          marker, flag bit 1)
#   py_xz_zstd.zip                         written here: an XZ entry (Python's
#                                          lzma), Zstandard entries (python3-
#                                          zstandard), one of them two frames
# Every good archive is tested with 7zz and its extraction compared with the
# source files; Python's zipfile reads the bzip2 and LZMA ones too.
#
# Hostile archives, made byte by byte: hostile_<method>_<case>.zip, each an
# entry "bad.txt" of that method and then a good stored entry "after.txt"
# ("still here\n"), so a test sees whether the run goes on:
#   bigdict   a dictionary/window of 4 GiB (bzip2 has none: block size digit 0)
#   truncated the packed bytes end halfway through the stream
#   longer    the declared size is 10 bytes less than the stream gives
#   shorter   the declared size is 10 bytes more than the stream gives
#   corrupt   one byte in the middle of the stream changed (bzip2: of its block CRC)
# The archives are committed; run this again only to change them:
#   tests/data/make-library-method-fixtures.sh     (from the project root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/methods
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
mkdir -p "$out"
rm -f "$out"/*.zip "$out"/*.expect

# --- the source files: text over several output flushes, a small binary, an empty file
src=$work/src
mkdir -p "$src/Docs"
python3 - "$src" <<'PY'
import sys, random
d = sys.argv[1]
random.seed(24)
open(f"{d}/Docs/long.txt", "w").write("".join("line %06d: the quick brown fox, %d\n" % (i, i * 7919 % 1000) for i in range(9000)))
open(f"{d}/Docs/small.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(3000)))
PY
: > "$src/empty.txt"
find "$src" -exec touch -d '2024-05-06 07:08:10' {} +

# --- 7-Zip
for m in BZip2 LZMA XZ; do
  (cd "$src" && 7zz a -tzip -bd -bso0 -mm=$m "$work/7zz_$(echo $m | tr A-Z a-z).zip" Docs empty.txt >/dev/null)
done

# --- Python: zipfile for bzip2 and LZMA, a writer of its own for XZ and Zstandard
python3 - "$work" "$src" <<'PY'
import sys, zipfile, lzma, struct, zlib
import zstandard
w, src = sys.argv[1], sys.argv[2]
long = open(f"{src}/Docs/long.txt", "rb").read()
small = open(f"{src}/Docs/small.bin", "rb").read()

def info(name, method):
    i = zipfile.ZipInfo(name, date_time=(2024, 5, 6, 7, 8, 10))
    i.compress_type = method
    return i
for method, name in [(zipfile.ZIP_BZIP2, "py_bzip2.zip"), (zipfile.ZIP_LZMA, "py_lzma.zip")]:
    with zipfile.ZipFile(f"{w}/{name}", "w") as z:
        z.writestr(info("Docs/long.txt", method), long)
        z.writestr(info("Docs/small.bin", method), small)
        z.writestr(info("empty.txt", method), b"")

def write_zip(path, entries):
    """entries: (name, method, packed, size, crc, flags)"""
    body, central = b"", b""
    for name, method, packed, size, crc, flags in entries:
        n = name.encode()
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 63, 63, flags, method, 0x3904, 0x58A6,
                               crc, len(packed), size, len(n), 0, 0, 0, 0, 0, len(body)) + n
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 63, flags, method, 0x3904, 0x58A6,
                            crc, len(packed), size, len(n), 0) + n + packed
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), len(body), 0)
    open(path, "wb").write(body + central + end)

def crc(data): return zlib.crc32(data) & 0xFFFFFFFF
zc = zstandard.ZstdCompressor(level=9, write_checksum=True)
half = len(long) // 2
two_frames = zc.compress(long[:half]) + zc.compress(long[half:])
write_zip(f"{w}/py_xz_zstd.zip", [
    ("Docs/long.xz.txt", 95, lzma.compress(long, format=lzma.FORMAT_XZ), len(long), crc(long), 0),
    ("Docs/long.zst.txt", 93, zc.compress(long), len(long), crc(long), 0),
    ("Docs/two-frames.txt", 93, two_frames, len(long), crc(long), 0),
    ("Docs/small.zst.bin", 93, zc.compress(small), len(small), crc(small), 0),
])

# --- hostile archives
text = b"".join(b"hostile line %04d\n" % i for i in range(400))
after = b"still here\n"
def lzma_zip_form(data):
    # The ZIP form: version 9.20, 5 property bytes, the raw LZMA1 stream, which
    # liblzma ends with the end marker (flag bit 1 says so).
    filters = [{"id": lzma.FILTER_LZMA1, "dict_size": 1 << 16, "lc": 3, "lp": 0, "pb": 2}]
    props = lzma._encode_filter_properties(filters[0])
    raw = lzma.compress(data, format=lzma.FORMAT_RAW, filters=filters)
    return struct.pack("<BBH", 9, 20, len(props)) + props + raw

def xz_with_dict_byte(data, dict_byte):
    x = bytearray(lzma.compress(data, format=lzma.FORMAT_XZ, check=lzma.CHECK_CRC64,
                               filters=[{"id": lzma.FILTER_LZMA2, "dict_size": 1 << 16}]))
    size = (x[12] + 1) * 4  # block header after the 12-byte stream header
    header = x[12:12 + size]
    at = header.index(b"\x21\x01") + 2  # filter id LZMA2, one property byte: the dictionary
    header[at] = dict_byte
    header[-4:] = struct.pack("<I", zlib.crc32(bytes(header[:-4])) & 0xFFFFFFFF)
    x[12:12 + size] = header
    return bytes(x)

def zstd_with_window(data, descriptor):
    f = bytearray(zstandard.ZstdCompressor(level=3, write_checksum=True, write_content_size=False).compress(data))
    assert f[4] & 0x20 == 0  # not single-segment: a window descriptor follows
    f[5] = descriptor
    return bytes(f)

def corrupt(packed, at=None):
    b = bytearray(packed)
    at = len(b) // 2 if at is None else at
    b[at] ^= 0x55
    return bytes(b)

def hostile(method, case, packed, flags=0, size=len(text)):
    entries = [("bad.txt", method, packed, size, crc(text), flags),
               ("after.txt", 0, after, len(after), crc(after), 0)]
    write_zip(f"{w}/hostile_{case[0]}_{case[1]}.zip", entries)

import bz2
bz = bz2.compress(text)
hostile(12, ("bzip2", "bigdict"), bz[:3] + b"0" + bz[4:])
hostile(12, ("bzip2", "truncated"), bz[:len(bz) // 2])
hostile(12, ("bzip2", "longer"), bz, size=len(text) - 10)
hostile(12, ("bzip2", "shorter"), bz, size=len(text) + 10)
# A changed byte mid-stream can as well make bzip2 produce more than declared
# (damage); the block's CRC changed is the library's own data error.
hostile(12, ("bzip2", "corrupt"), corrupt(bz, 10))

lz = lzma_zip_form(text)
big = bytearray(lz)
big[5:9] = b"\xFF\xFF\xFF\xFF"  # dictionary 4 GiB - 1
hostile(14, ("lzma", "bigdict"), bytes(big), flags=2)
hostile(14, ("lzma", "truncated"), lz[:len(lz) // 2], flags=2)
hostile(14, ("lzma", "longer"), lz, flags=2, size=len(text) - 10)
hostile(14, ("lzma", "shorter"), lz, flags=2, size=len(text) + 10)
hostile(14, ("lzma", "corrupt"), corrupt(lz), flags=2)

xz = xz_with_dict_byte(text, 16)  # 16: 1 << 20, a plain dictionary
hostile(95, ("xz", "bigdict"), xz_with_dict_byte(text, 40))  # 40: 4 GiB - 1
hostile(95, ("xz", "truncated"), xz[:len(xz) // 2])
hostile(95, ("xz", "longer"), xz, size=len(text) - 10)
hostile(95, ("xz", "shorter"), xz, size=len(text) + 10)
hostile(95, ("xz", "corrupt"), corrupt(xz))

zs = zstandard.ZstdCompressor(level=3, write_checksum=True).compress(text)
hostile(93, ("zstd", "bigdict"), zstd_with_window(text, 22 << 3))  # window log 10 + 22: 4 GiB
hostile(93, ("zstd", "truncated"), zs[:len(zs) // 2])
hostile(93, ("zstd", "longer"), zs, size=len(text) - 10)
hostile(93, ("zstd", "shorter"), zs, size=len(text) + 10)
hostile(93, ("zstd", "corrupt"), corrupt(zs))
PY

# --- Check the good archives with 7-Zip and Python; write the manifests
for zip in "$work"/7zz_*.zip "$work"/py_*.zip; do
  7zz t -bd "$zip" >/dev/null
  rm -rf "$work/x" && mkdir "$work/x"
  7zz x -bd -bso0 -o"$work/x" "$zip" >/dev/null
  python3 - "$zip" "$work/x" "$src" "${zip%.zip}.expect" <<'PY'
import sys, zipfile, zlib, os
path, extracted, src, manifest = sys.argv[1:]
lines = []
with zipfile.ZipFile(path) as z:
    for i in z.infolist():
        if i.is_dir():
            lines.append(f"D\t{i.filename.lower()}")
            continue
        data = open(os.path.join(extracted, i.filename), "rb").read()
        assert zlib.crc32(data) & 0xFFFFFFFF == i.CRC and len(data) == i.file_size, i.filename
        if i.compress_type in (zipfile.ZIP_BZIP2, zipfile.ZIP_LZMA):
            assert z.read(i) == data, i.filename  # Python's zipfile agrees with 7-Zip
        original = os.path.join(src, i.filename.replace(".xz", "").replace(".zst", "").replace("two-frames", "long"))
        assert open(original, "rb").read() == data, i.filename
        lines.append(f"F\t{i.filename.lower()}\t{i.file_size}\t{i.CRC:08x}\t")
open(manifest, "w").write("\n".join(lines) + "\n")
PY
done

cp "$work"/*.zip "$work"/*.expect "$out/"
echo "made $(ls "$out" | wc -l) files in $out"
