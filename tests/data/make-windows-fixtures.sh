#!/usr/bin/env bash
# Makes the fixtures of what differs on Windows (tests/data/extract/) with
# Python's zipfile:
#   windows_names.zip  names Windows refuses or reads as something else (device
#                      names, streams, trailing dots and spaces, wildcards,
#                      controls) between names that are fine everywhere
#   deep_path.zip      one file 330 characters deep, past Windows' old 260 limit
# and with bsdtar:
#   bsdtar_dot.zip     a folder packed from inside it: every name starts with
#                      "./", the first entry is "./" itself (data descriptors);
#                      bsdtar_dot.zip.list: its listing, by zip-oracle.py
# The archives are committed; run this again only to change them.
#   tests/data/make-windows-fixtures.sh     (from the project root)
set -euo pipefail
out=$(cd "$(dirname "$0")" && pwd)/extract
python3 - "$out" <<'PY'
import sys, zipfile
out = sys.argv[1]
def add(z, name, data):
    z.writestr(zipfile.ZipInfo(name, date_time=(2001, 1, 1, 0, 0, 0)), data)
refused = ["CON", "docs/aux.txt", "Lpt1.log/x.txt", "com3 .txt", "nul.tar.gz", "trail.",
           "trail /x.txt", "data.txt:hidden", "q?.txt", "star*.txt", "pipe|.txt", "lt<.txt",
           'quote".txt', "tab\t.txt", "COM\u00b9.txt"]
fine = ["console.txt", "com10.txt", "lpt0.txt", "auxiliary/x.txt", "a.b.c"]
with zipfile.ZipFile(f"{out}/windows_names.zip", "w") as z:
    add(z, "first.txt", b"first\n")
    for n in refused + fine:
        add(z, n, n.encode() + b"\n")
    add(z, "last.txt", b"last\n")
deep = "/".join(f"level{k:02d}-" + "x" * 32 for k in range(8)) + "/deep.txt"
with zipfile.ZipFile(f"{out}/deep_path.zip", "w", zipfile.ZIP_DEFLATED) as z:
    add(z, deep, b"deep down\n" * 100)
PY

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/docs/deep"
printf 'top\n' >"$work/top.txt"
printf 'readme\n' >"$work/docs/ReadMe.TXT"
printf 'deep\n' >"$work/docs/deep/x.bin"
touch -d '2021-03-04 05:06:08' "$work/top.txt" "$work/docs/ReadMe.TXT" "$work/docs/deep/x.bin" \
  "$work/docs/deep" "$work/docs" "$work"
rm -f "$out/bsdtar_dot.zip"
(cd "$work" && bsdtar --format zip -cf "$out/bsdtar_dot.zip" .)
python3 "$(dirname "$0")/zip-oracle.py" "$out/bsdtar_dot.zip"
