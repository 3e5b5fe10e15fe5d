#!/usr/bin/env python3
"""How `vantelo-cli test` and `extract` scale with the threads they are given.

    bench/threads.py [--build DIR] [--data DIR] [--runs N] [--threads N] [--work DIR]

The archives come from bench/make-archives.sh (made once into --data):
mixed.zip (28,000 files of every size up to 64 KB), small.zip (20,000 files of
1-4 KB), big.zip (one entry of 100 MB), and zip-crypt.zip (mixed.zip's files
with ZipCrypto, password "bench", as `zip -e` writes them). Each is tested, and
each but zip-crypt.zip extracted, with -t 1, 2, ... up to the machine's
processors (--threads lowers that; the engine uses at most 16). Extraction goes
into a fresh folder beside the archives (the same file system; --work names
another, e.g. a tmpfs to leave the disk out), removed after every run without
being timed, and the file system is synced before each timed extraction so
that no run pays for the writing of another. The thread counts alternate
within each of the --runs rounds, so a load that comes and goes falls on all
of them; the best wall time of the rounds counts, the time the run would take
on a quiet machine. Every run must end with exit code 0.

Printed: the best time for each thread count and its speed-up over -t 1, then
the goals: test at least 1.8 times as fast with 2 threads as with 1 on the
mixed and small archives, extract at least 1.5 times, the big archive 1.2
times (one entry: only a pipeline inside the entry can gain), and the ZipCrypto
test at most 1.3 times the plain one with every thread.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_THREADS = 16  # the engine's limit (kMaxThreads)


def line(text):
    print(text, flush=True)


def wall_time(argv):
    """Runs argv with its output discarded; its wall time in seconds."""
    start = time.perf_counter()
    r = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if r.returncode != 0:
        sys.exit(f"{' '.join(argv)}: exit code {r.returncode}\n{r.stderr.decode(errors='replace')}")
    return elapsed


def best_times(row, counts, runs, cli, work):
    """row: (label, mode, archive, options). {threads: best wall seconds}."""
    _, mode, archive, options = row
    best = {}
    for _ in range(runs):
        for t in counts:
            argv = [cli, mode, archive, "-t", str(t)] + options
            if mode == "extract":
                dest = tempfile.mkdtemp(prefix="threads-", dir=work)
                os.sync()
                try:
                    seconds = wall_time(argv + ["-d", dest])
                finally:
                    shutil.rmtree(dest)
            else:
                seconds = wall_time(argv)
            best[t] = min(best.get(t, seconds), seconds)
    return best


def verdict(value, goal):
    return "met" if value >= goal else "not met"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build-bench")
    ap.add_argument("--data", default=None)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--threads", type=int, default=None, help="the most threads to try")
    ap.add_argument("--work", default=None, help="where to extract (default: beside the archives)")
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    data = os.path.abspath(args.data or os.path.join(build, "bench-data"))
    cli = os.path.join(build, "vantelo-cli")
    subprocess.run([os.path.join(HERE, "make-archives.sh"), data, "threads"], check=True)
    work = os.path.abspath(args.work or data)

    cores = os.cpu_count() or 1
    most = max(1, min(args.threads or cores, MAX_THREADS))
    counts = list(range(1, most + 1))
    arc = {name: os.path.join(data, name) for name in ("mixed.zip", "small.zip", "big.zip", "zip-crypt.zip")}
    rows = [("mixed.zip test", "test", arc["mixed.zip"], []),
            ("small.zip test", "test", arc["small.zip"], []),
            ("big.zip test", "test", arc["big.zip"], []),
            ("zip-crypt.zip test", "test", arc["zip-crypt.zip"], ["-p", "bench"]),
            ("mixed.zip extract", "extract", arc["mixed.zip"], []),
            ("small.zip extract", "extract", arc["small.zip"], []),
            ("big.zip extract", "extract", arc["big.zip"], [])]

    line(f"== vantelo-cli test and extract with -t 1 to {most} ({cores} processors here); "
         f"best wall time of {args.runs} rounds, speed-up over -t 1")
    header = f"  {'':<20}" + "".join(f"{'-t ' + str(t):>19}" for t in counts)
    line(header)
    times = {}
    for row in rows:
        best = best_times(row, counts, args.runs, cli, work)
        times[row[0]] = best
        cells = "".join(f"{best[t] * 1000:9.0f} ms {best[1] / best[t]:5.2f}x" for t in counts)
        line(f"  {row[0]:<20}{cells}")

    line("\n== Goals (2 threads against 1, side by side in this run)")
    if 2 not in counts:
        line("  one processor here (or --threads 1): the goals need 2 threads")
        return
    goals = [("mixed.zip test", 1.8), ("small.zip test", 1.8), ("mixed.zip extract", 1.5),
             ("small.zip extract", 1.5), ("big.zip test", 1.2), ("big.zip extract", 1.2)]
    for label, goal in goals:
        gain = times[label][1] / times[label][2]
        line(f"  {label:<20} -t 2 / -t 1: {gain:.2f} times as fast; goal at least {goal}: {verdict(gain, goal)}")
    crypt = times["zip-crypt.zip test"][most] / times["mixed.zip test"][most]
    line(f"  ZipCrypto test / plain test with -t {most}: {crypt:.2f}; goal at most 1.3: "
         f"{'met' if crypt <= 1.3 else 'not met'}")


if __name__ == "__main__":
    main()
