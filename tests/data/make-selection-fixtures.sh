#!/usr/bin/env bash
# Makes the archives of the desktop selection and open-entry tests with Info-ZIP
# zip and 7-Zip (7zz). The archives are committed; run this again only to change them.
#   tests/data/make-selection-fixtures.sh   (from the project root)
#
#   select30.zip  30 entries fNN.txt (NN = 01..30), entry NN of 250 x NN bytes
#                 ("Selected: 1 files  -  1,250 bytes" for f05.txt), Deflate.
#   open.zip      stored (no compression); 7zz sorts the entries by name:
#                   notes.txt    "Notes\n", traditionally encrypted by 7zz with
#                                password "secret" (no data descriptor)
#                   readme.txt   "Read me first.\n"
#                   sub/         a folder entry
#                   sub/readme.txt  "The other readme.\n" (same file name as readme.txt)
#   open_bad.zip  7-Zip: damaged.txt stored with one data byte changed
#                 after writing (its CRC no longer matches), then packed.txt
#                 compressed with PPMd (a method the engine refuses).
#   find_sort.zip Info-ZIP zip, UTF-8 names, in this index order (size in bytes,
#                 modification day): readme.txt (700, 2021-06-01),
#                 reports/quarterly-tax-2024.pdf (3000, 2024-04-01), photos/ (folder),
#                 photos/img10.jpg (100, 2019-01-10), photos/img2.jpg (2000, 2019-01-02),
#                 photos/img1.jpg (50, 2019-01-01), Привет мир.txt (400, 2022-02-02),
#                 notes/ΣΗΜΕΙΩΣΕΙΣ.md (900, 2023-03-03), empty.log (0, 2020-01-01).
#                 For finding (any script, folders) and sorting (numbers inside names).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC

src=$work/src
mkdir -p "$src/sel" "$src/open/sub"
for n in $(seq 1 30); do
  name=$(printf 'f%02d.txt' "$n")
  python3 -c "import sys; sys.stdout.write(('%s ' % '$name' * 1000)[:250 * $n])" > "$src/sel/$name"
done
printf 'Read me first.\n' > "$src/open/readme.txt"
printf 'The other readme.\n' > "$src/open/sub/readme.txt"
printf 'Notes\n' > "$src/open/notes.txt"
find "$src" -exec touch -d '2020-03-04 05:06:08' {} +

(cd "$src/sel" && zip -q -X -9 "$work/select30.zip" $(ls))
(cd "$src/open" && zip -q -X -0 "$work/open.zip" readme.txt sub/ sub/readme.txt)
(cd "$src/open" && 7zz a -tzip -mx=0 -mem=ZipCrypto -psecret -bd -bso0 "$work/open.zip" notes.txt >/dev/null)

find=$src/find
mkdir -p "$find/reports" "$find/photos" "$find/notes"
make() {  # make FILE SIZE DAY
  python3 -c "import sys; sys.stdout.write('x' * $2)" > "$find/$1"
  touch -d "$3 12:00:00" "$find/$1"
}
make readme.txt 700 2021-06-01
make reports/quarterly-tax-2024.pdf 3000 2024-04-01
make photos/img10.jpg 100 2019-01-10
make photos/img2.jpg 2000 2019-01-02
make photos/img1.jpg 50 2019-01-01
make 'Привет мир.txt' 400 2022-02-02
make notes/ΣΗΜΕΙΩΣΕΙΣ.md 900 2023-03-03
make empty.log 0 2020-01-01
touch -d '2019-01-01 12:00:00' "$find/photos"
(cd "$find" && LC_ALL=C.UTF-8 zip -q -X -0 "$work/find_sort.zip" readme.txt \
   reports/quarterly-tax-2024.pdf photos/ photos/img10.jpg photos/img2.jpg photos/img1.jpg \
   'Привет мир.txt' notes/ΣΗΜΕΙΩΣΕΙΣ.md empty.log)

mkdir "$work/bad"
printf 'Damaged in the archive.\n' > "$work/bad/damaged.txt"
python3 -c "import sys; sys.stdout.write('Packed with PPMd.\\n' * 20)" > "$work/bad/packed.txt"
touch -d '2020-03-04 05:06:08' "$work/bad/damaged.txt" "$work/bad/packed.txt"
(cd "$work/bad" && 7zz a -tzip -bd -bso0 -mx0 "$work/open_bad.zip" damaged.txt >/dev/null \
   && 7zz a -tzip -bd -bso0 -mm=PPMd "$work/open_bad.zip" packed.txt >/dev/null)
python3 - "$work/open_bad.zip" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
at = data.index(b'Damaged in')
data[at] = ord('d')
open(path, 'wb').write(bytes(data))
PY

cp "$work/select30.zip" "$work/open.zip" "$work/open_bad.zip" "$work/find_sort.zip" "$here/"
echo "made select30.zip open.zip open_bad.zip find_sort.zip in $here"
