#!/usr/bin/env bash
# Makes the benchmark archives from files found on this system, once: archives
# already in OUT_DIR are kept. Nothing here is committed; the archives are large.
#   bench/make-archives.sh OUT_DIR [zipcrypto|threads|aes]
#   (with "zipcrypto": only the lists, mixed.zip and zip-crypt.zip; with
#   "threads": those, small.zip and big.zip; with "aes": only what the WinZip
#   AES goals need, the 7zz-big30-* and AES archives)
#
#   mixed.zip        28,000 files of every kind below /usr (at most 64 KB each), zip -6
#   zip-crypt.zip    the same files by zip -6 with ZipCrypto (password "bench"):
#                    flag bit 3 and a data descriptor on every entry, as zip -e writes
#   mixed10.zip      the first 10 MB of the same list (for instruction counts)
#   big.zip          one entry of 100 MB: those files laid end to end, zip -6
#   small.zip        20,000 files of 1-4 KB, zip -6
#   7zz-plain.zip    the mixed files by 7zz (Deflate), no password
#   7zz-crypt.zip    the same by 7zz with ZipCrypto, password "bench"
#   names.zip        65,535 tiny entries (Python's zipfile); names.txt lists
#                    1,000 of their names to choose
#   7zz-deflate10.zip, 7zz-deflate64-10.zip     the mixed10 files by 7zz with
#                    Deflate and with Deflate64
#   7zz-big30-deflate.zip, 7zz-big30-deflate64.zip   the first 30 MB of big.zip's
#                    file, one entry, by 7zz with Deflate and with Deflate64
#   7zz-big30-aes256.zip  the same 30 MB entry, Deflate inside WinZip AES-256,
#                    password "bench"
#   7zz-aes-many.zip the first 2,000 files of small.zip, each in WinZip AES-256
#                    (Deflate inside), password "bench": a key derivation each
set -euo pipefail
out=${1:?usage: make-archives.sh OUT_DIR [zipcrypto|aes]}
only=${2:-}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# The file lists: regular files only (no links), readable, at most 8 MB; a
# fixed pseudo-random order so that every run picks the same files.
if [ ! -s "$out/mixed.list" ]; then
  python3 - "$out" <<'PY'
import os, random, sys
out = sys.argv[1]
files = []
for root in ("/usr/share", "/usr/lib", "/usr/bin", "/usr/include"):
    for d, dirs, names in os.walk(root):
        dirs.sort()
        for n in sorted(names):
            p = os.path.join(d, n)
            try:
                st = os.lstat(p)
            except OSError:
                continue
            if not os.path.isfile(p) or os.path.islink(p) or not os.access(p, os.R_OK):
                continue
            if "\n" in p or st.st_size == 0 or st.st_size > 8_000_000:
                continue
            files.append((p, st.st_size))
rnd = random.Random(16)
rnd.shuffle(files)

def pick(limit_bytes, limit_files, keep=lambda size: True):
    chosen, total = [], 0
    for p, size in files:
        if not keep(size):
            continue
        if total + size > limit_bytes or len(chosen) >= limit_files:
            break
        chosen.append(p)
        total += size
    return chosen

def write(name, paths):
    with open(os.path.join(out, name), "w") as f:
        f.write("".join(p + "\n" for p in paths))

write("mixed.list", pick(147_000_000, 28_000, lambda size: size <= 65536))
write("mixed10.list", pick(10_000_000, 28_000, lambda size: size <= 65536))
write("small.list", pick(1 << 40, 20_000, lambda size: 1024 <= size <= 4096))
PY
fi

# The first 30 MB of the mixed files laid end to end: the start of big.zip's file.
make_big30() {  # path
  python3 - "$out/mixed.list" "$1" <<'PY'
import sys
want, done = 30_000_000, 0
with open(sys.argv[2], "wb") as big:
    for p in open(sys.argv[1]).read().split("\n"):
        if not p or done >= want:
            continue
        with open(p, "rb") as f:
            data = f.read(want - done)
        big.write(data)
        done += len(data)
PY
}

if [ "$only" != aes ]; then
make_zip() {  # name list: zip -6 of the listed files (stored as usr/...)
  [ -s "$out/$1" ] || zip -q -6 "$out/$1" -@ < "$out/$2"
}
make_zip mixed.zip mixed.list
[ -s "$out/zip-crypt.zip" ] || zip -q -6 -P bench "$out/zip-crypt.zip" -@ < "$out/mixed.list"
[ "$only" = zipcrypto ] && exit 0
make_zip mixed10.zip mixed10.list
make_zip small.zip small.list

if [ ! -s "$out/big.zip" ]; then
  work=$(mktemp -d)
  python3 - "$out/mixed.list" "$work/big.bin" <<'PY'
import sys
want, done = 100_000_000, 0
with open(sys.argv[2], "wb") as big:
    for p in open(sys.argv[1]).read().split("\n"):
        if not p:
            continue
        with open(p, "rb") as f:
            data = f.read(want - done)
        big.write(data)
        done += len(data)
        if done >= want:
            break
PY
  (cd "$work" && zip -q -6 "$out/big.zip" big.bin)
  rm -rf "$work"
fi
[ "$only" = threads ] && exit 0

# 7zz stores the paths as given; relative to / they match zip's.
seven() {  # name [options...]
  local name=$1
  shift
  [ -s "$out/$name" ] || (cd / && sed 's|^/||' "$out/mixed.list" > "$out/mixed.rel" &&
    7zz a -tzip -bd -bso0 -bsp0 "$@" "$out/$name" @"$out/mixed.rel")
}
seven 7zz-plain.zip
seven 7zz-crypt.zip -pbench -mem=ZipCrypto

# The same files in Deflate and Deflate64, for the two decoders side by side.
for m in Deflate Deflate64; do
  lower=$(echo $m | tr A-Z a-z)
  [ "$m" = Deflate ] && name10=7zz-deflate10.zip || name10=7zz-deflate64-10.zip
  [ -s "$out/$name10" ] || (cd / && sed 's|^/||' "$out/mixed10.list" > "$out/mixed10.rel" &&
    7zz a -tzip -bd -bso0 -bsp0 -mm=$m "$out/$name10" @"$out/mixed10.rel")
  if [ ! -s "$out/7zz-big30-$lower.zip" ]; then
    work=$(mktemp -d)
    # Cut after unpacking: `unzip -p | head -c` ends unzip with SIGPIPE, which pipefail stops on.
    unzip -p "$out/big.zip" > "$work/big.bin"
    truncate -s 30000000 "$work/big.bin" && mv "$work/big.bin" "$work/big30.bin"
    (cd "$work" && 7zz a -tzip -bd -bso0 -bsp0 -mm=$m "$out/7zz-big30-$lower.zip" big30.bin)
    rm -rf "$work"
  fi
done

fi

# WinZip AES-256 (7zz's default method inside, Deflate).
for name in 7zz-big30-deflate.zip 7zz-big30-aes256.zip; do
  [ ! -s "$out/$name" ] || continue
  work=$(mktemp -d)
  make_big30 "$work/big30.bin"
  [ $name = 7zz-big30-deflate.zip ] && password=() || password=(-mem=AES256 -pbench)
  (cd "$work" && 7zz a -tzip -bd -bso0 -bsp0 -mm=Deflate "${password[@]}" "$out/$name" big30.bin)
  rm -rf "$work"
done
[ -s "$out/7zz-aes-many.zip" ] || (cd / && head -n 2000 "$out/small.list" | sed 's|^/||' > "$out/aes-many.rel" &&
  7zz a -tzip -bd -bso0 -bsp0 -mem=AES256 -pbench "$out/7zz-aes-many.zip" @"$out/aes-many.rel")

[ "$only" = aes ] && exit 0
if [ ! -s "$out/names.zip" ]; then
  python3 - "$out" <<'PY'
import sys, zipfile
out = sys.argv[1]
with zipfile.ZipFile(out + "/names.zip", "w", zipfile.ZIP_STORED) as z:
    for i in range(65535):
        z.writestr(f"d{i % 97:02d}/entry{i:05d}.txt", f"{i}\n")
with open(out + "/names.txt", "w") as f:
    for i in range(0, 65535, 65)[:1000]:
        f.write(f"d{i % 97:02d}/entry{i:05d}.txt\n")
PY
fi
