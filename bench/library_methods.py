#!/usr/bin/env python3
"""bzip2, LZMA, XZ and Zstandard entries: `vantelo-cli test` beside each
library's own tool on the same compressed stream, in processor time (user +
system of the child, the best of a few runs).

  bzip2      method 12   beside  bzip2 -dc FILE.bz2
  XZ         method 95   beside  xz -dc FILE.xz
  Zstandard  method 93   beside  zstd -dc FILE.zst
  LZMA       method 14   beside  7zz t ARCHIVE.zip (7-Zip's own LZMA decoder)

The ZIP entry holds the very stream the tool reads (the ZIP form of LZMA is
7-Zip's). vantelo-cli also checks the entry's CRC-32; the tools check their
formats' own checksums.
  bench/library_methods.py [--build DIR] [--mib N] [--runs N]
"""
import argparse
import os
import random
import struct
import subprocess
import sys
import tempfile
import zlib


def make_data(size):
    """Text with repeats and numbers, with a stretch of random bytes every MiB:
    the ratios of everyday documents, not a best case for any method."""
    rnd = random.Random(24)
    words = [("".join(rnd.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9))))
             for _ in range(3000)]
    out = bytearray()
    while len(out) < size:
        line = " ".join(rnd.choice(words) for _ in range(rnd.randint(4, 14)))
        out += f"{line} {rnd.randint(0, 10**6)}\n".encode()
        if len(out) % (1 << 20) < 80:
            out += rnd.randbytes(4096)
    return bytes(out[:size])


def write_zip(path, name, method, packed, data):
    n = name.encode()
    crc = zlib.crc32(data) & 0xFFFFFFFF
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 63, 0, method, 0, 0x21, crc, len(packed), len(data), len(n), 0) + n
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 63, 63, 0, method, 0, 0x21, crc, len(packed),
                          len(data), len(n), 0, 0, 0, 0, 0, 0) + n
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local) + len(packed), 0)
    with open(path, "wb") as f:
        f.write(local + packed + central + end)


def cpu_seconds(command, runs):
    best = None
    for _ in range(runs):
        with open(os.devnull, "wb") as null:
            child = subprocess.Popen(command, stdout=null, stderr=null)
            _, status, usage = os.wait4(child.pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"failed: {' '.join(command)}")
        seconds = usage.ru_utime + usage.ru_stime
        best = seconds if best is None else min(best, seconds)
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build-bench")
    parser.add_argument("--mib", type=int, default=32)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    cli = os.path.abspath(os.path.join(args.build, "vantelo-cli"))
    data = make_data(args.mib << 20)
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "data.txt")
        with open(source, "wb") as f:
            f.write(data)
        rows = []
        for name, method, compress, tool in [
                ("bzip2", 12, ["bzip2", "-9", "-k"], ["bzip2", "-dc"]),
                ("XZ", 95, ["xz", "-6", "-k", "-T1"], ["xz", "-dc", "-T1"]),
                ("Zstandard", 93, ["zstd", "-q", "-12", "-k"], ["zstd", "-dc"])]:
            suffix = {"bzip2": ".bz2", "XZ": ".xz", "Zstandard": ".zst"}[name]
            subprocess.run(compress + [source], check=True)
            packed_path = source + suffix
            packed = open(packed_path, "rb").read()
            archive = os.path.join(work, f"{name}.zip")
            write_zip(archive, "data.txt", method, packed, data)
            rows.append((name, len(packed), cpu_seconds([cli, "test", archive], args.runs),
                         " ".join(tool), cpu_seconds(tool + [packed_path], args.runs)))
        archive = os.path.join(work, "LZMA.zip")
        subprocess.run(["7zz", "a", "-tzip", "-bd", "-bso0", "-mm=LZMA", "-mmt=1", archive, source],
                       check=True, stdout=subprocess.DEVNULL)
        rows.append(("LZMA", os.path.getsize(archive), cpu_seconds([cli, "test", archive], args.runs),
                     "7zz t", cpu_seconds(["7zz", "t", "-mmt=1", archive], args.runs)))

    print(f"{len(data) / 1048576:.0f} MiB of text-like data; processor time, best of {args.runs}")
    print(f"{'method':<10} {'packed':>10} {'vantelo-cli':>12} {'tool':>9}  {'ratio':>6}  tool")
    for name, size, ours, theirs, tool_seconds in rows:
        print(f"{name:<10} {size:>10,} {ours:>11.3f}s {tool_seconds:>8.3f}s  {ours / tool_seconds:>6.2f}  {theirs}")


if __name__ == "__main__":
    main()
