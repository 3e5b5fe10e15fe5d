#!/usr/bin/env python3
"""Peak memory of listing an archive of many entries, beside the peers.

    bench/catalog_memory.py [--build DIR] [--count N]

Makes two archives of N stored entries (default one million) with
bench/make-many-entries.py: short names ("d/NNNNNN.txt", held inside the
string objects themselves) and long ones (a 60-byte folder in front, so every
name needs memory of its own). Each lister runs once per archive with its
output discarded; the figure is the child's peak resident set (ru_maxrss).
That figure includes the few MB of this script's own image (the kernel counts
what the child held before its exec), printed as the baseline; the archives
are therefore made by other processes, so this one stays small.
The goal: Vantelo lists one million short names in at most 150 MB.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def peak_rss_mb(argv):
    """Runs argv (output discarded); returns (peak resident MB, wall seconds)."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) not in (0, 1):
        return None, wall
    return usage.ru_maxrss / 1024.0, wall


MAKE_LONG_NAMES = """
import sys, zipfile
folder = "a-folder-name-long-enough-to-need-its-own-memory/0123456789/"
with zipfile.ZipFile(sys.argv[1]) as src, zipfile.ZipFile(sys.argv[2], "w") as dst:
    for info in src.infolist():
        dst.writestr(zipfile.ZipInfo(folder + info.filename, date_time=info.date_time),
                     src.read(info))
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build-bench")
    parser.add_argument("--count", type=int, default=1000000)
    args = parser.parse_args()
    cli = os.path.join(args.build, "vantelo-cli")
    work = tempfile.mkdtemp()
    try:
        short = os.path.join(work, "short.zip")
        subprocess.run([sys.executable, os.path.join(HERE, "make-many-entries.py"), short,
                        str(args.count)], check=True)
        long_names = os.path.join(work, "long.zip")
        subprocess.run([sys.executable, "-c", MAKE_LONG_NAMES, short, long_names], check=True)
        listers = {"vantelo-cli list": [cli, "list"]}
        for name, argv in (("7zz l", ["7zz", "l"]), ("bsdtar -tf", ["bsdtar", "-tf"]),
                           ("unzip -l", ["unzip", "-l"])):
            if shutil.which(argv[0]):
                listers[name] = argv
        print("== Listing %s entries: peak memory (MB), wall time (s)" % format(args.count, ","))
        baseline, _ = peak_rss_mb(["true"])
        print("%-31s %7.1f MB" % ("baseline (`true`)", baseline))
        for label, path in (("short names", short), ("long names", long_names)):
            for name, argv in listers.items():
                mb, wall = peak_rss_mb(argv + [path])
                figure = "failed" if mb is None else "%7.1f MB" % mb
                print("%-12s %-18s %s  %5.2f s" % (label, name, figure, wall))
        if args.count == 1000000:
            mb, _ = peak_rss_mb([cli, "list", short])
            if mb is not None:
                print("goal: one million short names listed in at most 150 MB: %.1f MB, %s"
                      % (mb, "met" if mb <= 150.0 else "NOT met"))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
