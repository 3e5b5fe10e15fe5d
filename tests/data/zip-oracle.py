#!/usr/bin/env python3
"""Writes ARCHIVE.list beside each archive: what `vantelo-cli list` must print,
computed independently from Python's zipfile reading of the central directory.
  zip-oracle.py [--charset CODEC] ARCHIVE...
With --charset, names not flagged as UTF-8 are read in that Python codec (the
code page the archive was written in) and the listing is UTF-8; without it the
stored bytes are listed as they are."""
import sys
import zipfile


def split_name(stored):
    t = "".join(c.lower() if "A" <= c <= "Z" else c for c in stored)
    folder, name, ext = "", "", ""
    for i in range(len(t) - 1, -1, -1):
        if t[i] in "/\\":
            name, folder = t[i + 1:], t[:i + 1]
            break
        if t[i] == ".":
            ext = t[i + 1:]
    if not name and folder:
        name = "[FOLDER]"
    if not name and not folder:
        name = t
    return folder, name, ext


def ratio(packed, size):
    if size == 0:
        return "0"
    return "%d%%" % round(packed * 100 / size)  # Python rounds half to even


paths = sys.argv[1:]
charset = None
if paths[:1] == ["--charset"]:
    charset, paths = paths[1], paths[2:]

for path in paths:
    lines = ["Name\tDate\tTime\tSize\tRatio\tPacked\tPath"]
    with zipfile.ZipFile(path) as z:
        for info in z.infolist():
            # zipfile decodes names as cp437 unless flagged UTF-8; the engine takes raw bytes.
            raw = info.orig_filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")
            legacy = charset and not info.flag_bits & 0x800
            text = raw.decode(charset if legacy else "utf-8") if charset else raw.decode("latin-1")
            folder, name, _ = split_name(text)
            y, mo, d, h, mi, s = info.date_time
            lines.append("\t".join([
                name + ("+" if info.flag_bits & 1 else ""),
                "%02d/%02d/%02d" % (mo, d, y % 100),
                "%02d:%02d:%02d" % (h, mi, s),
                format(info.file_size, ","),
                ratio(info.compress_size, info.file_size),
                format(info.compress_size, ","),
                folder,
            ]))
    with open(path + ".list", "w", encoding="utf-8" if charset else "latin-1", newline="\n") as f:
        f.write("\n".join(lines) + "\n")
