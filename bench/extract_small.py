#!/usr/bin/env python3
"""Extraction of many small files beside its peers, and its system calls per file.

    bench/extract_small.py [--build DIR] [--data DIR] [--archive ZIP] [--runs N] [--work DIR]

The archive is small.zip of bench/make-archives.sh (20,000 files of 1-4 KB in
thousands of folders, in no particular order), made once into --data unless
--archive names one. Every run extracts into a fresh, empty destination folder
below --work (default: the system's temporary folder); its removal is not
timed. File creation is most of the work here, so the file system decides
much: on a disk shared with other busy programs the system time of every
program varies several times over from run to run; a tmpfs (--work /dev/shm)
shows the programs' own costs. Beside `vantelo-cli
extract`: Info-ZIP `unzip`, 7-Zip `7zz x` with one thread, `bsdtar -x`, and
`cp -r` of the same tree (the floor: no decoding at all, only file creation).
Times are medians of alternating runs, wall and processor time (user + system
of the child: on a shared machine the steadier figure). Then `strace -f -c`
counts the system calls of one extraction into the empty folder and of one
over the files already there (every file replaced).
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from goals import run_timed, verdict, line  # noqa: E402


def fresh(folder):
    if os.path.exists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder)


def timed_runs(commands, work, runs):
    """commands: {name: function(dest) -> argv}. {name: (wall, cpu)} medians."""
    samples = {name: [] for name in commands}
    dest = os.path.join(work, "dest")
    for _ in range(runs):
        for name, argv in commands.items():
            fresh(dest)
            samples[name].append(run_timed(argv(dest)))
    shutil.rmtree(dest)
    return {name: (statistics.median(w for w, _ in s), statistics.median(c for _, c in s))
            for name, s in samples.items()}


def syscalls(argv, work):
    """The total system calls of argv under strace -f -c, or None without strace."""
    if shutil.which("strace") is None:
        return None
    out = os.path.join(work, "strace.txt")
    subprocess.run(["strace", "-f", "-c", "-o", out] + argv, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    m = re.search(r"^\s*100\.00\s+\S+\s+\S+\s+(\d+)\s+(?:\d+\s+)?total", open(out).read(), re.M)
    return int(m.group(1)) if m else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build-bench")
    ap.add_argument("--data", default=None)
    ap.add_argument("--archive", default=None)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--work", default=None)
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    cli = os.path.join(build, "vantelo-cli")
    if args.archive:
        archive = os.path.abspath(args.archive)
    else:
        data = os.path.abspath(args.data or os.path.join(build, "bench-data"))
        subprocess.run([os.path.join(HERE, "make-archives.sh"), data], check=True)
        archive = os.path.join(data, "small.zip")
    with zipfile.ZipFile(archive) as z:
        files = sum(1 for i in z.infolist() if not i.is_dir())
        folders = len({i.filename.rsplit("/", 1)[0] for i in z.infolist() if "/" in i.filename})

    work = tempfile.mkdtemp(prefix="vantelo-extract-bench-", dir=args.work)
    try:
        tree = os.path.join(work, "tree")
        fresh(tree)
        subprocess.run([cli, "extract", archive, "-d", tree], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        commands = {"vantelo-cli extract": lambda d: [cli, "extract", archive, "-d", d],
                    "unzip -qq": lambda d: ["unzip", "-qq", archive, "-d", d]}
        if shutil.which("7zz"):
            commands["7zz x -mmt1"] = lambda d: ["7zz", "x", "-mmt1", "-bd", "-bso0", "-bsp0", "-o" + d, archive]
        if shutil.which("bsdtar"):
            commands["bsdtar -x"] = lambda d: ["bsdtar", "-xf", archive, "-C", d]
        commands["cp -r (the same tree)"] = lambda d: ["cp", "-r", tree + "/.", d]

        line(f"== Extracting {os.path.basename(archive)}: {files:,} files in {folders:,} folders, "
             f"into an empty folder below {os.path.dirname(work)} (medians of {args.runs} alternating runs)")
        result = timed_runs(commands, work, args.runs)
        ours_wall, ours_cpu = result["vantelo-cli extract"]
        for name, (wall, cpu) in result.items():
            line(f"  {name:<24} wall {wall * 1000:7.0f} ms   CPU {cpu * 1000:7.0f} ms   "
                 f"vantelo / this: wall {ours_wall / wall:5.2f}  CPU {ours_cpu / cpu:5.2f}")

        dest = os.path.join(work, "dest")
        fresh(dest)
        into_empty = syscalls([cli, "extract", archive, "-d", dest], work)
        replacing = syscalls([cli, "extract", archive, "-d", dest], work)
        fresh(dest)
        unzip_calls = syscalls(["unzip", "-qq", archive, "-d", dest], work)
        shutil.rmtree(dest)

        unzip_wall, unzip_cpu = result["unzip -qq"]
        line("\n== Goals")
        line(f"  many small files: vantelo-cli extract / unzip = {ours_cpu / unzip_cpu:.2f} of CPU time "
             f"({ours_wall / unzip_wall:.2f} wall); goal at most 0.6: {verdict(ours_cpu / unzip_cpu, 0.6)}")
        if into_empty is None:
            line("     system calls: strace missing")
        else:
            per_file = into_empty / files
            line(f"     system calls per file (strace -f -c): {per_file:.2f} into an empty folder, "
                 f"{replacing / files:.2f} replacing every file (unzip: {unzip_calls / files:.2f}); "
                 f"goal at most 8: {verdict(per_file, 8)}")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
