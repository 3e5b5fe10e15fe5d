#!/usr/bin/env bash
# Makes the fixture archives in this folder with real tools: Info-ZIP zip, 7-Zip
# (7zz), bsdtar and Python's zipfile, plus deliberately damaged files. The
# archives are committed; run this again only to change them.
#   tests/data/make-fixtures.sh            (from the project root)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC

# --- source tree with fixed times, so the fixtures do not change from run to run
src=$work/src
mkdir -p "$src/Docs/Sub" "$src/Photos" "$src/Photos.old" "$src/Empty"
printf 'Read me first.\n' > "$src/Docs/ReadMe.TXT"
python3 -c "import sys; sys.stdout.write(''.join('line %05d of a text that repeats a little\n' % i for i in range(3000)))" > "$src/Docs/Sub/long.txt"
: > "$src/empty.dat"
printf 'tarball-ish\n' > "$src/lib.tar.gz"
printf 'no extension\n' > "$src/NoExt"
printf 'dot profile\n' > "$src/.profile"
head -c 5000 /dev/urandom > "$src/Photos/random.bin" 2>/dev/null || true
python3 -c "
import random; random.seed(7)
open('$src/Photos/random.bin','wb').write(bytes(random.getrandbits(8) for _ in range(5000)))"
find "$src" -exec touch -d '1998-02-05 09:05:06' {} +

# --- Info-ZIP zip: folders, empty file, uppercase and multi-dot names, a comment
(cd "$src" && zip -q -X -r "$work/zip_comment.zip" Docs Photos Photos.old Empty empty.dat lib.tar.gz NoExt .profile \
   && echo "An archive comment made by zip -z" | zip -q -z "$work/zip_comment.zip")
(cd "$src" && zip -q -X -r "$work/zip_plain.zip" Docs empty.dat NoExt)
# -e entries (traditional encryption), password "secret"
(cd "$src" && zip -q -X -P secret "$work/zip_encrypted.zip" Docs/ReadMe.TXT Docs/Sub/long.txt && zip -q -X "$work/zip_encrypted.zip" NoExt)

# --- 7-Zip
(cd "$src" && 7zz a -tzip -bd -bso0 "$work/7zz_deflate.zip" Docs NoExt empty.dat >/dev/null)

# --- Python's zipfile: empty archive, a comment near 65,000 bytes
python3 - "$work" <<'PY'
import sys, zipfile
w = sys.argv[1]
with zipfile.ZipFile(f"{w}/py_empty.zip", "w") as z:
    pass
with zipfile.ZipFile(f"{w}/py_bigcomment.zip", "w", zipfile.ZIP_DEFLATED) as z:
    info = zipfile.ZipInfo("Note.txt", date_time=(2003, 12, 31, 23, 59, 58))
    z.writestr(info, "comment test\n" * 10, compress_type=zipfile.ZIP_DEFLATED)
    z.comment = b"C" * 65000
PY

# --- the demo archive shown by `make run`: folders, many file types, an encrypted entry
demo=$work/demo
mkdir -p "$demo/Vantelo Demo/docs" "$demo/Vantelo Demo/images" "$demo/Vantelo Demo/src" "$demo/Vantelo Demo/data"
cat > "$demo/Vantelo Demo/README.txt" <<'TXT'
This is the Vantelo demo archive.
Double-click an entry to open it, or press Extract to unpack the whole archive.
The entry secret.txt is encrypted; its password is "vantelo".
TXT
python3 - "$demo/Vantelo Demo" <<'PY'
import sys, struct, zlib, random
d = sys.argv[1]
random.seed(11)
open(f"{d}/docs/manual.html", "w").write("<html><body>\n" + "".join(f"<p>Section {i}: how to extract files.</p>\n" for i in range(400)) + "</body></html>\n")
open(f"{d}/docs/notes.md", "w").write("# Notes\n\n" + "".join(f"- item {i}\n" for i in range(200)))
open(f"{d}/src/main.cpp", "w").write("#include <cstdio>\nint main() { std::puts(\"hello\"); }\n" * 20)
open(f"{d}/src/build.sh", "w").write("#!/bin/sh\necho build\n")
open(f"{d}/data/table.csv", "w").write("id,value\n" + "".join(f"{i},{i*i}\n" for i in range(2000)))
open(f"{d}/data/config.json", "w").write('{"name": "vantelo", "version": "0.91"}\n')
open(f"{d}/data/blob.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(20000)))
# A small real PNG: a 64x64 gradient.
def chunk(t, b): return struct.pack(">I", len(b)) + t + b + struct.pack(">I", zlib.crc32(t + b) & 0xffffffff)
raw = b"".join(b"\0" + b"".join(bytes((x * 4, y * 4, 160)) for x in range(64)) for y in range(64))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 64, 64, 8, 2, 0, 0, 0)) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
open(f"{d}/images/gradient.png", "wb").write(png)
open(f"{d}/empty.log", "w").close()
PY
printf 'The secret is safe.\n' > "$demo/Vantelo Demo/secret.txt"
find "$demo" -exec touch -d '2024-05-17 14:32:10' {} +
(cd "$demo" && find "Vantelo Demo" ! -name secret.txt | LC_ALL=C sort | zip -q -X "$work/demo.zip" -@ \
   && 7zz a -tzip -mx0 -mem=ZipCrypto -pvantelo -bd -bso0 "$work/demo.zip" "Vantelo Demo/secret.txt" >/dev/null)
# (7zz, unlike zip -e, writes the encrypted entry without a data descriptor, so
#  the password opens it.)

# --- damaged files, made from the good ones
python3 - "$work" <<'PY'
import sys, struct
w = sys.argv[1]
good = open(f"{w}/zip_plain.zip", "rb").read()
eocd = good.rfind(b"PK\x05\x06")
cd_off = struct.unpack_from("<I", good, eocd + 16)[0]
open(f"{w}/bad_notzip.txt", "w").write("This is a plain text file, not an archive.\n" * 20)
open(f"{w}/bad_tiny3.bin", "wb").write(b"PK\x05")
open(f"{w}/bad_short21.bin", "wb").write(b"PK\x03\x04" + b"\0" * 17)
# No end record at all: the archive with its last 22 bytes cut off.
open(f"{w}/bad_no_end_record.zip", "wb").write(good[:eocd])
# A central header whose signature is wrong.
b = bytearray(good); b[cd_off:cd_off + 4] = b"PK\x09\x09"
open(f"{w}/bad_central_signature.zip", "wb").write(b)
# Central directory offset beyond the end of the file.
b = bytearray(good); struct.pack_into("<I", b, eocd + 16, len(good) + 1000)
open(f"{w}/bad_cd_offset.zip", "wb").write(b)
# The first name's length runs past the end of the file.
b = bytearray(good); struct.pack_into("<H", b, cd_off + 28, 60000)
open(f"{w}/bad_name_past_end.zip", "wb").write(b)
PY
# A stored name of 512 bytes (one more than the name buffer holds).
python3 - "$work" <<'PY'
import sys, zipfile
w = sys.argv[1]
with zipfile.ZipFile(f"{w}/bad_long_name.zip", "w") as z:
    z.writestr(zipfile.ZipInfo("a" * 508 + ".txt", date_time=(2000, 1, 1, 0, 0, 0)), "x")
with zipfile.ZipFile(f"{w}/name_511.zip", "w") as z:
    z.writestr(zipfile.ZipInfo("b" * 507 + ".txt", date_time=(2000, 1, 1, 0, 0, 0)), "x")
PY

cp "$work"/*.zip "$work"/bad_*.txt "$work"/bad_*.bin "$here"/
# What Python's zipfile sees in each good archive, for the listing tests.
python3 "$here/zip-oracle.py" "$here"/zip_*.zip "$here"/7zz_*.zip "$here"/py_*.zip "$here"/demo.zip
echo "fixtures written to $here"
