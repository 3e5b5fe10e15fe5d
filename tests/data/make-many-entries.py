#!/usr/bin/env python3
"""Writes an archive of COUNT small stored entries with Python's zipfile
("d/NNNNNN.txt", each holding its own name); zipfile adds ZIP64 end records
past 65,535 entries. Given WRAPPED.zip too, writes the same archive without
them there, its end record's 16-bit counts wrapped as writers without ZIP64
leave them.  usage: make-many-entries.py OUT.zip COUNT [WRAPPED.zip]"""
import struct
import sys
import zipfile


def main(path, count, wrapped_path=None):
    with zipfile.ZipFile(path, "w") as z:
        for i in range(count):
            name = "d/%06d.txt" % i
            z.writestr(zipfile.ZipInfo(name, date_time=(2020, 1, 1, 0, 0, 0)), name)
    if wrapped_path is None:
        return
    data = open(path, "rb").read()
    end64 = data.rindex(b"PK\x06\x06")
    size, offset = struct.unpack_from("<QQ", data, end64 + 40)
    record = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count & 0xFFFF, count & 0xFFFF, size, offset, 0)
    open(wrapped_path, "wb").write(data[:end64] + record)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3] if len(sys.argv) > 3 else None)
