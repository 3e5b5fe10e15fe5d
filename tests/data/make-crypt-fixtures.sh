#!/usr/bin/env bash
# Makes the fixture archives with traditionally encrypted ("ZipCrypto") entries,
# all stored (no compression), so that tests can check the decrypted bytes
# against the stored CRC-32 without a Deflate decoder. Made with Info-ZIP zip
# and 7-Zip (7zz); the archives are committed, run this again only to change them.
#   tests/data/make-crypt-fixtures.sh       (from the project root)
#
# Entry pwNN.bin is encrypted with the first NN characters of PASSWORDS below
# (NN = 01..30, and 40 for one longer than the 30 characters the engine uses);
# the tests derive the same passwords. Every encrypted entry but the last one of
# 7zz's archive (7zz keeps entries sorted by name) is followed by a local header.
#   crypt_zip.zip   Info-ZIP zip -0 -P: zip sets flag bit 3 on encrypted entries
#                   (and still fills in the local CRC and sizes), so the check
#                   byte is the high byte of the time word. big.bin (70,001 bytes)
#                   spans several input buffer fills.
#   crypt_7zz.zip   7zz -mx=0 -mem=ZipCrypto: no bit 3, check byte from the CRC.
#                   big7.bin has 40,003 bytes.
#   crypt_zip_pipe.zip  zip -0 -P pipe - - written to a pipe: flag bit 3, local
#                   sizes unknown (0xFFFFFFFF with a Zip64 extra field), real
#                   sizes in the data descriptor and the central directory.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
PASSWORDS='Vt7#kQ2m!Zr9$Lp4^Xw1&Nb6*Hc3(Ge8)Jd5+Fs0'

src=$work/src
mkdir -p "$src"
python3 - "$src" <<'PY'
import sys, random
d = sys.argv[1]
random.seed(3)
for n in list(range(1, 31)) + [40]:
    open(f"{d}/pw{n:02d}.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(40 + 37 * n)))
open(f"{d}/big.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(70001)))
open(f"{d}/big7.bin", "wb").write(bytes(random.getrandbits(8) for _ in range(40003)))
open(f"{d}/after.txt", "w").write("A plain entry after the encrypted ones.\n")
open(f"{d}/piped.txt", "w").write("Streamed through a pipe, so the sizes follow the data.\n" * 3)
PY
find "$src" -exec touch -d '2011-07-21 18:47:12' {} +

names=()
for n in $(seq 1 30) 40; do names+=("$(printf 'pw%02d.bin' "$n")"); done
(
  cd "$src"
  for name in "${names[@]}"; do
    n=$((10#${name:2:2}))
    zip -q -X -0 -P "${PASSWORDS:0:n}" "$work/crypt_zip.zip" "$name"
    7zz a -tzip -mx=0 -mem=ZipCrypto "-p${PASSWORDS:0:n}" -bd -bso0 "$work/crypt_7zz.zip" "$name" >/dev/null
  done
  zip -q -X -0 -P "${PASSWORDS:0:30}" "$work/crypt_zip.zip" big.bin
  zip -q -X -0 "$work/crypt_zip.zip" after.txt
  7zz a -tzip -mx=0 -mem=ZipCrypto "-p${PASSWORDS:0:30}" -bd -bso0 "$work/crypt_7zz.zip" big7.bin >/dev/null
  7zz a -tzip -mx=0 -bd -bso0 "$work/crypt_7zz.zip" after.txt >/dev/null
  # zip names a piped entry "-"; the output goes through cat so zip cannot seek.
  zip -q -X -0 -P pipe - - < piped.txt | cat > "$work/crypt_zip_pipe.zip"
  zip -q -X -0 "$work/crypt_zip_pipe.zip" after.txt
)

# Check what each tool wrote: the flags the tests rely on, and that every
# encrypted entry opens with its password (Python's zipfile decrypts ZipCrypto).
python3 - "$work" "$PASSWORDS" <<'PY'
import sys, zipfile, struct
w, pw = sys.argv[1], sys.argv[2].encode()
def password(name):
    if name.startswith("pw"): return pw[:int(name[2:4])]
    if name.startswith("big"): return pw[:30]
    return b"pipe"
for arc, bit3 in (("crypt_zip.zip", True), ("crypt_7zz.zip", False), ("crypt_zip_pipe.zip", True)):
    z = zipfile.ZipFile(f"{w}/{arc}")
    for i in z.infolist():
        assert i.compress_type == 0, (arc, i.filename)
        if i.filename == "after.txt":
            assert not i.flag_bits & 1
            continue
        assert i.flag_bits & 1 and bool(i.flag_bits & 8) == bit3, (arc, i.filename, hex(i.flag_bits))
        z.read(i, pwd=password(i.filename))
PY
cp "$work"/crypt_*.zip "$here"/
echo "encrypted fixtures written to $here"
