#!/usr/bin/env python3
"""Writes a ZIP64 archive beyond 4 GiB as a sparse file, quickly and without
using the space: a stored entry of 4 GiB + 4,096 zero bytes ("zeros.bin"),
then a small stored entry ("after.txt") whose local header lies past 4 GiB.
Sizes and offsets past 32 bits are in ZIP64 extended information fields and
the end of the central directory is in a ZIP64 end record, as ZIP writers put
them.  usage: make-large-zip.py OUT.zip"""
import struct
import sys
import zlib

ZERO_SIZE = (4 << 30) + 4096
ZERO_CRC = 0xB875D37F  # zlib.crc32(bytes(ZERO_SIZE)), computed once: it takes seconds
AFTER = b"the entry after four gigabytes\n"
TIME, DATE = (8 << 11) | (30 << 5), ((2019 - 1980) << 9) | (4 << 5) | 1


def local_header(name, crc, size, zip64):
    extra = struct.pack("<HHQQ", 1, 16, size, size) if zip64 else b""
    short = 0xFFFFFFFF if zip64 else size
    return struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, 0, TIME, DATE, crc, short, short,
                       len(name), len(extra)) + name + extra


def central_header(name, crc, size, offset):
    fields = []
    short_size = size
    if size >= 0xFFFFFFFF:
        fields += [size, size]
        short_size = 0xFFFFFFFF
    short_offset = offset
    if offset >= 0xFFFFFFFF:
        fields.append(offset)
        short_offset = 0xFFFFFFFF
    extra = struct.pack("<HH", 1, 8 * len(fields)) + struct.pack("<%dQ" % len(fields), *fields) if fields else b""
    return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 45, 45, 0, 0, TIME, DATE, crc, short_size,
                       short_size, len(name), len(extra), 0, 0, 0, 0, short_offset) + name + extra


def main(path):
    with open(path, "wb") as f:
        first = local_header(b"zeros.bin", ZERO_CRC, ZERO_SIZE, True)
        f.write(first)
        f.seek(len(first) + ZERO_SIZE)  # the zeros: a hole in the file
        second_offset = f.tell()
        f.write(local_header(b"after.txt", zlib.crc32(AFTER), len(AFTER), False) + AFTER)
        directory_offset = f.tell()
        directory = (central_header(b"zeros.bin", ZERO_CRC, ZERO_SIZE, 0) +
                     central_header(b"after.txt", zlib.crc32(AFTER), len(AFTER), second_offset))
        f.write(directory)
        end64 = f.tell()
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, 45, 45, 0, 0, 2, 2, len(directory),
                            directory_offset))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, end64, 1))
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 2, 2, len(directory), 0xFFFFFFFF, 0))


if __name__ == "__main__":
    main(sys.argv[1])
