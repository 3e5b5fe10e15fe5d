#!/usr/bin/env python3
"""Writes the seed corpus of inflate_fuzzer into fuzz/corpus/inflate/.

Each seed is: declared size (4 bytes, little-endian), an options byte (0:
Deflate, 1: stored copy, 2: Deflate64), then a raw Deflate stream made by
zlib (or stored bytes), or a Deflate64 stream of a 7-Zip fixture.
"""
import os
import random
import struct
import zipfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "inflate")


def raw_deflate(data, level, strategy=zlib.Z_DEFAULT_STRATEGY, mem_level=8):
    c = zlib.compressobj(level, zlib.DEFLATED, -15, mem_level, strategy)
    return c.compress(data) + c.flush()


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = random.Random(4)
    words = b"the archive entry window deflate of Huffman block and a data stream length distance".split()
    text = b" ".join(rng.choice(words) for _ in range(3000))[:12000]
    binary = bytes(rng.randrange(256) if i % 7 == 0 else i % 13 for i in range(9000))
    samples = {
        "text": text,
        "binary": binary,
        "random": bytes(rng.randrange(256) for _ in range(3000)),
        "runs": b"a" * 5000 + b"b" * 300 + b"abcabc" * 200,
        "tiny": b"x",
        "empty": b"",
    }
    strategies = {
        "default": zlib.Z_DEFAULT_STRATEGY,
        "filtered": zlib.Z_FILTERED,
        "huffman": zlib.Z_HUFFMAN_ONLY,
        "rle": zlib.Z_RLE,
        "fixed": zlib.Z_FIXED,
    }
    for name, data in samples.items():
        for level in (0, 1, 6, 9):
            stream = raw_deflate(data, level)
            write(f"{name}-l{level}", len(data), 0, stream)
        for sname, strategy in strategies.items():
            write(f"{name}-{sname}", len(data), 0, raw_deflate(data, 6, strategy))
        write(f"{name}-stored", len(data), 1, data)
    # Deflate64 streams of the test fixtures that 7-Zip made.
    for fixture in ("7zz_deflate64.zip", "7zz_deflate64_far.zip"):
        path = os.path.join(HERE, "..", "tests", "data", "extract", fixture)
        raw = open(path, "rb").read()
        with zipfile.ZipFile(path) as z:
            for k, info in enumerate(i for i in z.infolist() if i.compress_type == 9):
                o = info.header_offset
                n, e = struct.unpack("<HH", raw[o + 26:o + 30])
                start = o + 30 + n + e
                write(f"deflate64-{fixture[:-4]}-{k}", info.file_size, 2, raw[start:start + info.compress_size])


def write(name, size, options, payload):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(struct.pack("<IB", size, options) + payload)


if __name__ == "__main__":
    main()
