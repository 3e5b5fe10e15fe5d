#!/usr/bin/env python3
"""Measures Vantelo's speed goals beside its peers and prints one line per goal.

    bench/goals.py [--build DIR] [--data DIR] [--runs N] [--only cli|recovery|aes]

The archives come from bench/make-archives.sh (made once into --data). Times
are medians of alternating runs (Vantelo, peer, Vantelo, peer, ...), both wall
time and processor time (user + system of the child): on a machine shared with
other work the processor time is the steadier figure. Instruction counts come
from callgrind and do not depend on the load at all.
"""
import argparse
import os
import re
import resource
import statistics
import subprocess
import sys
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def run_timed(argv):
    """Runs argv with its output discarded; returns (wall seconds, CPU seconds)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


def medians(commands, runs):
    """commands: {name: argv}. Alternates them runs times; {name: (wall, cpu)} medians."""
    samples = {name: [] for name in commands}
    for _ in range(runs):
        for name, argv in commands.items():
            samples[name].append(run_timed(argv))
    return {name: (statistics.median(w for w, _ in s), statistics.median(c for _, c in s))
            for name, s in samples.items()}


def unpacked_bytes(path):
    with zipfile.ZipFile(path) as z:
        return sum(i.file_size for i in z.infolist())


def instructions(argv):
    """Instructions the program runs, counted by callgrind."""
    r = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + argv,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    m = re.search(r"Collected : (\d+)", r.stderr)
    return int(m.group(1)) if m else None


def verdict(value, limit):
    return "met" if value <= limit else f"not met ({value / limit:.2f} x the goal)"


def line(text):
    print(text, flush=True)


def time_pair(label, commands, runs, size):
    """Prints the medians of each command and returns them."""
    result = medians(commands, runs)
    for name, (wall, cpu) in result.items():
        rate = f"{size / 1e6 / cpu:7.1f} MB/s of CPU time" if size and cpu > 0 else ""
        line(f"  {label:<22} {name:<24} wall {wall * 1000:8.0f} ms   CPU {cpu * 1000:8.0f} ms  {rate}")
    return result


def zip_crypto_ratio(cli, plain, crypt, runs):
    """Times `vantelo-cli test` (and unzip) on the mixed files by zip -6 without
    and with ZipCrypto (zip -e: every entry with a data descriptor); prints and
    returns vantelo's encrypted / plain CPU time."""
    line("\n== ZipCrypto as zip -e writes it (zip -6: the same files without and with a password)")
    size = unpacked_bytes(plain)
    r = time_pair("zip -6", {"vantelo-cli plain": [cli, "test", plain],
                             "vantelo-cli zip -e": [cli, "test", "-p", "bench", crypt],
                             "unzip -tqq plain": ["unzip", "-tqq", plain],
                             "unzip -tqq zip -e": ["unzip", "-tqq", "-P", "bench", crypt]}, runs, size)
    ratio = r["vantelo-cli zip -e"][1] / r["vantelo-cli plain"][1]
    line(f"  zip -e test time / plain = {ratio:.2f} of CPU time "
         f"(unzip: {r['unzip -tqq zip -e'][1] / r['unzip -tqq plain'][1]:.2f})")
    return ratio


def aes_goals(cli, arc, size, runs):
    """Times WinZip AES-256 beside the same data unencrypted and beside 7zz t;
    returns the two goals' lines."""
    line("\n== WinZip AES-256 (archives by 7zz, password \"bench\")")
    plain, aes = arc["7zz-big30-deflate.zip"], arc["7zz-big30-aes256.zip"]
    r = time_pair("30 MB entry", {"vantelo-cli plain": [cli, "test", plain],
                                  "vantelo-cli AES-256": [cli, "test", "-p", "bench", aes],
                                  "7zz t plain": ["7zz", "t", "-bd", plain],
                                  "7zz t AES-256": ["7zz", "t", "-bd", "-pbench", aes]},
                  runs, size["7zz-big30-aes256.zip"])
    goal5 = r["vantelo-cli AES-256"][1] / r["vantelo-cli plain"][1]
    goal5_7zz = r["7zz t AES-256"][1] / r["7zz t plain"][1]
    many = arc["7zz-aes-many.zip"]
    with zipfile.ZipFile(many) as z:
        many_entries = len(z.infolist())
    r = time_pair(f"{many_entries:,} entries", {"vantelo-cli test": [cli, "test", "-p", "bench", many],
                                                "7zz t": ["7zz", "t", "-bd", "-pbench", many]}, runs, 0)
    for name, (wall, cpu) in r.items():
        line(f"  {name:<22} {many_entries / cpu:8.0f} entries per second of CPU time, "
             f"{many_entries / wall:8.0f} per second of wall time")
    goal6 = r["vantelo-cli test"][1] / r["7zz t"][1]
    goal6_wall = r["vantelo-cli test"][0] / r["7zz t"][0]
    return [f"  6. WinZip AES-256, one 30 MB entry: test time encrypted / plain = {goal5:.2f} of CPU time "
            f"(7zz: {goal5_7zz:.2f}); goal at most 1.3: {verdict(goal5, 1.3)}",
            f"  7. WinZip AES-256, many entries: vantelo / 7zz t = {goal6:.2f} of CPU time ({goal6_wall:.2f} wall); "
            f"goal: no slower than 7-Zip: {verdict(goal6, 1.0)}"]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default="build-bench")
    ap.add_argument("--data", default=None)
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--only", choices=["cli", "zipcrypto", "recovery", "aes"], default=None)
    args = ap.parse_args()
    build = os.path.abspath(args.build)
    data = os.path.abspath(args.data or os.path.join(build, "bench-data"))
    cli = os.path.join(build, "vantelo-cli")
    inflate_bench = os.path.join(build, "bench", "inflate_bench")
    if args.only == "recovery" and os.path.exists(os.path.join(data, "mixed.zip")):
        recovery_goal(cli, data, args.runs)
        return
    if args.only == "zipcrypto":
        subprocess.run([os.path.join(HERE, "make-archives.sh"), data, "zipcrypto"], check=True)
        line(f"medians of {args.runs} alternating runs; CPU = user + system time of the program")
        zip_crypto_ratio(cli, os.path.join(data, "mixed.zip"), os.path.join(data, "zip-crypt.zip"), args.runs)
        return
    if args.only == "aes":
        # Only the WinZip AES goals, on the few archives they need.
        subprocess.run([os.path.join(HERE, "make-archives.sh"), data, "aes"], check=True)
        arc = {name: os.path.join(data, name)
               for name in ("7zz-big30-deflate.zip", "7zz-big30-aes256.zip", "7zz-aes-many.zip")}
        size = {name: unpacked_bytes(path) for name, path in arc.items()}
        line(f"medians of {args.runs} alternating runs; CPU = user + system time of the program")
        lines = aes_goals(cli, arc, size, args.runs)
        line("\n== Goals")
        for text in lines:
            line(text)
        return
    subprocess.run([os.path.join(HERE, "make-archives.sh"), data], check=True)
    arc = {name: os.path.join(data, name) for name in
           ("mixed.zip", "mixed10.zip", "big.zip", "small.zip", "7zz-plain.zip", "7zz-crypt.zip", "names.zip",
            "zip-crypt.zip", "7zz-deflate10.zip", "7zz-deflate64-10.zip", "7zz-big30-deflate.zip", "7zz-big30-deflate64.zip",
            "7zz-big30-aes256.zip", "7zz-aes-many.zip")}
    size = {name: unpacked_bytes(path) for name, path in arc.items()}
    runs = args.runs
    line(f"medians of {runs} alternating runs; CPU = user + system time of the program")

    line("\n== vantelo-cli test beside unzip -tqq")
    for name in ("mixed.zip", "big.zip", "small.zip"):
        r = time_pair(name, {"vantelo-cli test": [cli, "test", arc[name]],
                             "unzip -tqq": ["unzip", "-tqq", arc[name]]}, runs, size[name])
        if name == "small.zip":
            goal1 = r["vantelo-cli test"][1] / r["unzip -tqq"][1]
            goal1_wall = r["vantelo-cli test"][0] / r["unzip -tqq"][0]

    line("\n== ZipCrypto (archives by 7zz: the same files without and with a password)")
    r = time_pair("7zz", {"vantelo-cli plain": [cli, "test", arc["7zz-plain.zip"]],
                          "vantelo-cli ZipCrypto": [cli, "test", "-p", "bench", arc["7zz-crypt.zip"]],
                          "unzip -tqq plain": ["unzip", "-tqq", arc["7zz-plain.zip"]],
                          "unzip -tqq ZipCrypto": ["unzip", "-tqq", "-P", "bench", arc["7zz-crypt.zip"]]},
                  runs, size["7zz-plain.zip"])
    goal3 = r["vantelo-cli ZipCrypto"][1] / r["vantelo-cli plain"][1]
    goal3_unzip = r["unzip -tqq ZipCrypto"][1] / r["unzip -tqq plain"][1]
    zip_e_ratio = zip_crypto_ratio(cli, arc["mixed.zip"], arc["zip-crypt.zip"], runs)

    aes = aes_goals(cli, arc, size, runs)

    line("\n== choosing 1,000 entries by name among 65,535")
    names = open(os.path.join(data, "names.txt")).read().split()
    r = time_pair("names.zip", {"vantelo-cli test NAMES": [cli, "test", arc["names.zip"]] + names,
                                "unzip -tqq NAMES": ["unzip", "-tqq", arc["names.zip"]] + names,
                                "vantelo-cli test (all)": [cli, "test", arc["names.zip"]]}, runs, 0)
    goal4 = r["vantelo-cli test NAMES"][1] / r["unzip -tqq NAMES"][1]
    goal4_all = r["vantelo-cli test NAMES"][1] / max(r["vantelo-cli test (all)"][1], 1e-3)

    goal5 = recovery_goal(cli, data, runs)

    goal2_ins = goal2_big = None
    if args.only != "cli":
        line("\n== Inflate: instructions per output byte on mixed10.zip (callgrind)")
        n = size["mixed10.zip"]
        counts = {
            "vantelo-cli test (whole program)": instructions([cli, "test", arc["mixed10.zip"]]),
            "unzip -tqq (whole program)": instructions(["unzip", "-tqq", arc["mixed10.zip"]]),
            "Vantelo engine loop + CRC": instructions([inflate_bench, "--once", "vantelo", arc["mixed10.zip"]]),
            "zlib inflate + crc32": instructions([inflate_bench, "--once", "zlib", arc["mixed10.zip"]]),
            "libdeflate + crc32": instructions([inflate_bench, "--once", "libdeflate", arc["mixed10.zip"]]),
        }
        for name, count in counts.items():
            line(f"  {name:<34} {count / n:6.1f}" if count else f"  {name:<34} (valgrind missing)")
        if counts["vantelo-cli test (whole program)"]:
            goal2_ins = counts["vantelo-cli test (whole program)"] / n

        line("\n== Deflate before the entry pipeline, Deflate and Deflate64 now (the same files by 7zz)")
        before = os.path.join(HERE, "inflate-before-pipeline.txt")
        for row in open(before).read().splitlines():
            if row and not row.startswith("#"):
                name, what, value = row.split("\t")
                line(f"  before: {name:<26} {what:<50} {value}")
        per_byte = {}
        for name in ("7zz-deflate10.zip", "7zz-deflate64-10.zip", "7zz-big30-deflate.zip", "7zz-big30-deflate64.zip"):
            count = instructions([inflate_bench, "--once", "vantelo", arc[name]])
            per_byte[name] = count / size[name] if count else None
            out = subprocess.run([inflate_bench, "--zip", arc[name]], stdout=subprocess.PIPE, text=True).stdout
            m = re.search(r"Vantelo \(file, CRC\)\s+([\d.]+) MB/s", out)
            rate = f"{float(m.group(1)):7.1f} MB/s" if m else ""
            ins = f"{per_byte[name]:5.1f} instructions per output byte" if per_byte[name] else "(valgrind missing)"
            line(f"  now:    {name:<26} {ins}   {rate}")
        for plain, wide in (("7zz-deflate10.zip", "7zz-deflate64-10.zip"),
                            ("7zz-big30-deflate.zip", "7zz-big30-deflate64.zip")):
            if per_byte[plain] and per_byte[wide]:
                line(f"  Deflate64 / Deflate instructions per byte, {plain}: {per_byte[wide] / per_byte[plain]:.2f} "
                     f"(goal at most 1.10: {verdict(per_byte[wide] / per_byte[plain], 1.10)})")

        line("\n== Inflate: the 100 MB entry (best of 5 rounds, decoders only)")
        out = subprocess.run([inflate_bench, "--zip", arc["big.zip"]], stdout=subprocess.PIPE, text=True).stdout
        sys.stdout.write(out)
        m = re.search(r"libdeflate \(memory\) \+ crc32 .*its time ([\d.]+)", out)
        goal2_big = float(m.group(1)) if m else None

    line("\n== Goals")
    line(f"  1. small entries: vantelo-cli test / unzip -tqq = {goal1:.2f} of CPU time "
         f"({goal1_wall:.2f} wall); goal at most 0.5: {verdict(goal1, 0.5)}")
    if goal2_ins is not None:
        line(f"  2. Inflate: {goal2_ins:.1f} instructions per output byte (whole vantelo-cli test); "
             f"goal at most 17: {verdict(goal2_ins, 17)}")
    if goal2_big is not None:
        line(f"     100 MB entry: Vantelo time / libdeflate loop time (both with CRC-32) = {goal2_big:.2f}; "
             f"goal at most 1.2: {verdict(goal2_big, 1.2)}")
    line(f"  3. ZipCrypto: test time encrypted / plain = {goal3:.2f} (unzip: {goal3_unzip:.2f}); "
         f"goal at most 1.3: {verdict(goal3, 1.3)}")
    line(f"     zip -e archive (data descriptors): encrypted / plain = {zip_e_ratio:.2f}")
    line(f"  4. 1,000 names among 65,535 entries: vantelo / unzip = {goal4:.2f} of CPU time; "
         f"with the names / testing all = {goal4_all:.2f}; goal: no slower than unzip: {verdict(goal4, 1.0)}")
    line(f"  5. recovery: test --recover of mixed.zip cut at 90 % / test of the intact archive = {goal5:.2f} "
         f"of CPU time; goal at most 1.2: {verdict(goal5, 1.2)}")
    for text in aes:
        line(text)


def recovery_goal(cli, data, runs):
    """Times testing a truncated copy of mixed.zip with --recover beside testing the
    intact archive; prints both and returns the ratio of CPU times."""
    line("\n== Recovery: mixed.zip cut at 90 % (no central directory), read from its start")
    intact = os.path.join(data, "mixed.zip")
    cut = os.path.join(data, "mixed-cut.zip")
    keep = os.path.getsize(intact) * 9 // 10
    if not os.path.exists(cut) or os.path.getsize(cut) != keep:
        with open(intact, "rb") as src, open(cut, "wb") as dst:
            dst.write(src.read(keep))
    r = time_pair("mixed.zip", {"test (intact)": [cli, "test", intact],
                                "test --recover (cut)": [cli, "test", "--recover", cut]},
                  runs, unpacked_bytes(intact))
    ratio = r["test --recover (cut)"][1] / r["test (intact)"][1]
    line(f"  recovered / intact = {ratio:.2f} of CPU time ({r['test --recover (cut)'][0] / r['test (intact)'][0]:.2f} "
         f"wall); goal at most 1.2: {verdict(ratio, 1.2)}")
    return ratio


if __name__ == "__main__":
    main()
