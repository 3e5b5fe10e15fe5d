#!/usr/bin/env bash
# Makes the WinZip AES fixtures in tests/data/aes/ (method 99 with the 0x9901
# extra field). The archives are committed; run this again only to change them
# (salts are random, so every run writes other bytes).
#   tests/data/make-aes-fixtures.sh       (from anywhere)
#
# Written by 7-Zip (7zz), each checked with `7zz t`:
#   7zz_aes128.zip           AES-128, Deflate; a folder and an empty file too
#   7zz_aes192_store.zip     AES-192, stored (-mm=Copy)
#   7zz_aes256.zip           AES-256, Deflate
#   7zz_aes256_store.zip     AES-256, stored
#   7zz_aes256_deflate64.zip AES-256 around Deflate64
#   7zz_aes_mixed.zip        a plain entry, AES-128 and AES-256 entries and a
#                            ZipCrypto entry, all with PASSWORD
#   7zz_aes256_long.zip      AES-256 with LONG_PASSWORD (42 characters; 7zz
#                            refuses non-ASCII passwords for ZIP archives)
#   7zz_aes256_ppmd.zip      AES-256 around PPMd, a method without a decoder
# Written by zip.js (when npm can install it; otherwise the committed archive stays):
#   zipjs_aes.zip            AE-2 with a data descriptor after every entry,
#                            strengths 1 to 3, stored and deflated, UTF8_PASSWORD
#                            (made by make-aes-zipjs.mjs), checked with `7zz t`
# Crafted from 7zz's stored AES-256 entries, byte by byte with Python:
#   aes_versions.zip     ae1.txt: vendor version 1 (AE-1) with the real CRC-32 in
#                        both headers; ae1_wrong_crc.txt: AE-1 with a CRC one bit
#                        off; ae2_crc_field.txt: AE-2 whose CRC field holds garbage
#                        (AE-2 writers store 0 and readers ignore it)
#   aes_damaged.zip      code_flipped.txt: one bit of the 10-byte authentication
#                        code flipped; data_flipped.txt: one bit of the encrypted
#                        data flipped; code_cut.txt: packed size 4 short, so the
#                        code is cut off by the entry's end; under_code.txt:
#                        packed size 20 (salt and verifier, no room for the
#                        code); under_salt.txt: packed size 5 (not even the
#                        salt); good.txt last, untouched
#   aes_unsupported.zip  strength4.txt (key strength 4), version3.txt (vendor
#                        version 3), vendor_xy.txt (vendor id "XY"),
#                        no_field.txt (method 99 without the 0x9901 field)
# Each good archive gets a .expect manifest (tests/common/extract_manifest.h)
# of what 7zz extracts: F name size crc32 password, D for folders; the mixed
# one also a .list (zip-oracle.py) of its listing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$here/aes
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
PASSWORD='Vantelo-AES'
LONG_PASSWORD='A password of 42 characters, none cut off!'
UTF8_PASSWORD='Ünïcödé pässwörd, longer than thirty characters ✓'

src=$work/src
mkdir -p "$src/docs" "$out"
python3 - "$src" <<'PY'
import random, sys
d = sys.argv[1]
r = random.Random(25)
open(f"{d}/small.txt", "w").write("A short secret.\n")  # under 20 bytes
open(f"{d}/lines.txt", "w").write("".join(f"line {i:04d}: the quick brown fox jumps over the lazy dog\n" for i in range(300)))
# Four bits of randomness a byte: compressible by half, and more than one
# 32 KiB input buffer either way.
open(f"{d}/big.bin", "wb").write(bytes(r.choice(b"0123456789abcdef") for _ in range(40000)))
open(f"{d}/empty.txt", "w").close()
open(f"{d}/plain.txt", "w").write("Not encrypted at all.\n")
open(f"{d}/docs/note.txt", "w").write("A note in a folder.\n")
for name in ["ae1", "ae1_wrong_crc", "ae2_crc_field", "code_flipped", "data_flipped", "code_cut",
             "under_code", "under_salt", "good", "strength4", "version3", "vendor_xy", "no_field"]:
    open(f"{d}/{name}.txt", "w").write(f"The entry {name}.txt, long enough to be more than one AES block.\n")
PY
find "$src" -exec touch -d '2024-03-14 09:26:52' {} +

z() {  # z ARCHIVE PASSWORD OPTIONS... -- FILES...
  local archive=$1 pw=$2; shift 2
  (cd "$src" && 7zz a -tzip -bd -bso0 "-p$pw" "$@" >/dev/null)
}
z "$work/7zz_aes128.zip" "$PASSWORD" -mem=AES128 "$work/7zz_aes128.zip" small.txt lines.txt big.bin empty.txt docs
z "$work/7zz_aes192_store.zip" "$PASSWORD" -mem=AES192 -mm=Copy "$work/7zz_aes192_store.zip" small.txt big.bin
z "$work/7zz_aes256.zip" "$PASSWORD" -mem=AES256 "$work/7zz_aes256.zip" small.txt lines.txt big.bin
z "$work/7zz_aes256_store.zip" "$PASSWORD" -mem=AES256 -mm=Copy "$work/7zz_aes256_store.zip" small.txt big.bin
z "$work/7zz_aes256_deflate64.zip" "$PASSWORD" -mem=AES256 -mm=Deflate64 "$work/7zz_aes256_deflate64.zip" lines.txt big.bin
(cd "$src" && 7zz a -tzip -bd -bso0 "$work/7zz_aes_mixed.zip" plain.txt >/dev/null)
z "$work/7zz_aes_mixed.zip" "$PASSWORD" -mem=AES256 "$work/7zz_aes_mixed.zip" small.txt
z "$work/7zz_aes_mixed.zip" "$PASSWORD" -mem=ZipCrypto "$work/7zz_aes_mixed.zip" docs/note.txt
z "$work/7zz_aes_mixed.zip" "$PASSWORD" -mem=AES128 "$work/7zz_aes_mixed.zip" lines.txt
z "$work/7zz_aes256_long.zip" "$LONG_PASSWORD" -mem=AES256 "$work/7zz_aes256_long.zip" small.txt lines.txt
z "$work/7zz_aes256_ppmd.zip" "$PASSWORD" -mem=AES256 -mm=PPMd "$work/7zz_aes256_ppmd.zip" lines.txt
z "$work/versions.zip" "$PASSWORD" -mem=AES256 -mm=Copy "$work/versions.zip" ae1.txt ae1_wrong_crc.txt ae2_crc_field.txt
z "$work/damaged.zip" "$PASSWORD" -mem=AES256 -mm=Copy "$work/damaged.zip" \
  code_flipped.txt data_flipped.txt code_cut.txt under_code.txt under_salt.txt good.txt
z "$work/unsupported.zip" "$PASSWORD" -mem=AES256 -mm=Copy "$work/unsupported.zip" \
  strength4.txt version3.txt vendor_xy.txt no_field.txt

# zip.js, from a scratch folder of its own.
if command -v npm >/dev/null && command -v node >/dev/null &&
   npm install --silent --no-audit --no-fund --prefix "$work/npm" @zip.js/zip.js >/dev/null 2>&1; then
  node "$here/make-aes-zipjs.mjs" "$work/npm/node_modules/@zip.js/zip.js" "$src" "$work/zipjs_aes.zip" "$UTF8_PASSWORD"
else
  echo "zip.js did not install: the committed zipjs_aes.zip stays" >&2
fi

for a in 7zz_aes128 7zz_aes192_store 7zz_aes256 7zz_aes256_store 7zz_aes256_deflate64 7zz_aes_mixed; do
  7zz t -bd -bso0 "-p$PASSWORD" "$work/$a.zip"
done
7zz t -bd -bso0 "-p$LONG_PASSWORD" "$work/7zz_aes256_long.zip"
[ ! -f "$work/zipjs_aes.zip" ] || 7zz t -bd -bso0 "-p$UTF8_PASSWORD" "$work/zipjs_aes.zip"

# --- Crafted archives: fields patched in the local and the central header alike.
python3 - "$work" "$src" <<'PY'
import struct, sys, zlib
work, src = sys.argv[1], sys.argv[2]

class Zip:
    def __init__(self, path):
        self.b = bytearray(open(path, "rb").read())
        self.entries = {}
        at = self.b.rfind(b"PK\x05\x06")
        count, cd = struct.unpack_from("<H", self.b, at + 10)[0], struct.unpack_from("<I", self.b, at + 16)[0]
        for _ in range(count):
            nl, el, cl = struct.unpack_from("<HHH", self.b, cd + 28)
            name = bytes(self.b[cd + 46:cd + 46 + nl]).decode()
            local = struct.unpack_from("<I", self.b, cd + 42)[0]
            lnl, lel = struct.unpack_from("<HH", self.b, local + 26)
            self.entries[name] = dict(central=cd, local=local, cextra=cd + 46 + nl, cextra_len=el,
                                      lextra=local + 30 + lnl, lextra_len=lel,
                                      data=local + 30 + lnl + lel,
                                      packed=struct.unpack_from("<I", self.b, cd + 20)[0])
            cd += 46 + nl + el + cl

    def aes_fields(self, name):
        """Offsets of the 0x9901 field's data in the central and the local extra field."""
        e, found = self.entries[name], []
        for start, length in ((e["cextra"], e["cextra_len"]), (e["lextra"], e["lextra_len"])):
            at = start
            while at + 4 <= start + length:
                fid, size = struct.unpack_from("<HH", self.b, at)
                if fid == 0x9901:
                    found.append(at)
                at += 4 + size
        assert len(found) == 2, name
        return found

    def set_crc(self, name, crc):
        e = self.entries[name]
        struct.pack_into("<I", self.b, e["central"] + 16, crc)
        struct.pack_into("<I", self.b, e["local"] + 14, crc)

    def set_packed(self, name, packed):
        e = self.entries[name]
        struct.pack_into("<I", self.b, e["central"] + 20, packed)
        struct.pack_into("<I", self.b, e["local"] + 18, packed)

    def patch_field(self, name, offset, value):  # offset into the field, past its 4-byte head
        for at in self.aes_fields(name):
            self.b[at + 4 + offset:at + 4 + offset + len(value)] = value

    def flip(self, name, offset_from_data_end):
        e = self.entries[name]
        self.b[e["data"] + e["packed"] - offset_from_data_end] ^= 0x10

    def save(self, path):
        open(path, "wb").write(self.b)

def crc_of(name):
    return zlib.crc32(open(f"{src}/{name}", "rb").read())

# Field data: vendor version (2 bytes), vendor id "AE", strength (1 byte), real method (2 bytes).
v = Zip(f"{work}/versions.zip")
v.patch_field("ae1.txt", 0, struct.pack("<H", 1))
v.set_crc("ae1.txt", crc_of("ae1.txt"))
v.patch_field("ae1_wrong_crc.txt", 0, struct.pack("<H", 1))
v.set_crc("ae1_wrong_crc.txt", crc_of("ae1_wrong_crc.txt") ^ 0x00010000)
v.set_crc("ae2_crc_field.txt", 0xDEADBEEF)
v.save(f"{work}/aes_versions.zip")

d = Zip(f"{work}/damaged.zip")
d.flip("code_flipped.txt", 3)        # inside the code, the last 10 bytes
d.flip("data_flipped.txt", 10 + 7)   # inside the data, just before the code
d.set_packed("code_cut.txt", d.entries["code_cut.txt"]["packed"] - 4)
d.set_packed("under_code.txt", 16 + 2 + 2)
d.set_packed("under_salt.txt", 5)
d.save(f"{work}/aes_damaged.zip")

u = Zip(f"{work}/unsupported.zip")
u.patch_field("strength4.txt", 4, b"\x04")
u.patch_field("version3.txt", 0, struct.pack("<H", 3))
u.patch_field("vendor_xy.txt", 2, b"XY")
for at in u.aes_fields("no_field.txt"):
    struct.pack_into("<H", u.b, at, 0xCAFE)  # the field is still there, under an id nobody reads
u.save(f"{work}/aes_unsupported.zip")
PY
# 7-Zip's verdicts on the crafted archives, for the record (they are not the test).
for a in aes_versions aes_damaged aes_unsupported; do
  echo "7zz t $a.zip:"; 7zz t -bd "-p$PASSWORD" "$work/$a.zip" 2>&1 | grep -E "^(ERROR|Everything|Sub items Errors|.*: )" | sed 's/^/  /' || true
done

# --- Manifests: what 7zz extracts from each good archive.
manifest() {  # manifest ARCHIVE PASSWORD
  local archive=$1 pw=$2 dir=$work/x/$(basename "$1" .zip)
  mkdir -p "$dir"
  7zz x -bd -bso0 "-p$pw" "-o$dir" "$archive" >/dev/null
  python3 - "$archive" "$dir" "$pw" > "${archive%.zip}.expect" <<'PY'
import sys, zipfile, zlib
archive, dir, pw = sys.argv[1:4]
for i in zipfile.ZipFile(archive).infolist():
    if i.filename.endswith("/"):
        print(f"D\t{i.filename}")
        continue
    data = open(f"{dir}/{i.filename}", "rb").read()
    print(f"F\t{i.filename}\t{len(data)}\t{zlib.crc32(data):08x}\t{pw if i.flag_bits & 1 else ''}")
PY
}
for a in 7zz_aes128 7zz_aes192_store 7zz_aes256 7zz_aes256_store 7zz_aes256_deflate64 7zz_aes_mixed; do
  manifest "$work/$a.zip" "$PASSWORD"
done
manifest "$work/7zz_aes256_long.zip" "$LONG_PASSWORD"
[ ! -f "$work/zipjs_aes.zip" ] || manifest "$work/zipjs_aes.zip" "$UTF8_PASSWORD"

rm "$work/versions.zip" "$work/damaged.zip" "$work/unsupported.zip"
cp "$work"/*.zip "$work"/*.expect "$out"/
# Seeds for the archive fuzz target, which tries the password "secret": small
# AES archives of each strength with it, and the crafted ones (named by their
# SHA-1, as libFuzzer names its inputs).
seeds=$here/../../fuzz/corpus/archive
z "$work/seed1.zip" secret -mem=AES128 "$work/seed1.zip" small.txt docs/note.txt
z "$work/seed2.zip" secret -mem=AES192 -mm=Copy "$work/seed2.zip" small.txt
z "$work/seed3.zip" secret -mem=AES256 -mm=Deflate64 "$work/seed3.zip" ae1.txt
for f in "$work"/seed[123].zip "$out"/aes_*.zip; do
  cp "$f" "$seeds/$(sha1sum "$f" | cut -c1-40)"
done
rm "$work"/seed[123].zip
# What `vantelo-cli list` shows for the mixed archive: "+" on every encrypted entry.
python3 "$here/zip-oracle.py" "$out/7zz_aes_mixed.zip"
echo "AES fixtures written to $out"
