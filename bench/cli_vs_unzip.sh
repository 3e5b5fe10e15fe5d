#!/usr/bin/env bash
# Times `vantelo-cli test` against Info-ZIP `unzip -tqq` on one archive of some
# tens of MB made by `zip -6`, and prints the median of each and their ratio.
#   bench/cli_vs_unzip.sh [BUILD_DIR] [RUNS]     (BUILD_DIR default: build-bench)
# Build BUILD_DIR as a release build first (`make bench` does).
set -euo pipefail
build=${1:-build-bench}
runs=${2:-7}
cli=$build/vantelo-cli
[ -x "$cli" ] || { echo "no $cli; build it first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Source tree: text that compresses like source code and logs, plus some
# binary data that hardly compresses; about 60 MB in all.
python3 - "$work/src" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(1)
words = [w.strip() for w in "the of and to in is you that it he was for on are as with his they at be this from have or by one had not but what all were when we there can an your which their said if do will each about how up out them then she many some so these would other into has more her two like him see time could no make than first been its who now people my made over did down only way find use may water long little very after words called just where most know".split()]
for d in range(6):
    os.makedirs(f"{root}/dir{d}", exist_ok=True)
    for f in range(20):
        with open(f"{root}/dir{d}/text{f}.txt", "w") as out:
            for line in range(6000):
                out.write(" ".join(random.choice(words) for _ in range(10)) + f" {line}\n")
    with open(f"{root}/dir{d}/blob.bin", "wb") as out:
        out.write(os.urandom(2_000_000))
PY
(cd "$work/src" && zip -q -6 -r "$work/bench.zip" .)
size=$(stat -c %s "$work/bench.zip")
unpacked=$(du -sb "$work/src" | cut -f1)

median_ms() {  # command...: runs it $runs times, prints the median wall time in ms
  local times=()
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s%N)
    times+=($(( (t1 - t0) / 1000000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

"$cli" test "$work/bench.zip" >/dev/null 2>&1 || { echo "vantelo-cli test failed on the archive" >&2; exit 1; }
unzip -tqq "$work/bench.zip" >/dev/null || { echo "unzip -tqq failed on the archive" >&2; exit 1; }
v=$(median_ms "$cli" test "$work/bench.zip")
u=$(median_ms unzip -tqq "$work/bench.zip")
echo "archive: $size bytes packed, $unpacked bytes unpacked (zip -6), median of $runs runs"
echo "vantelo-cli test: $v ms"
echo "unzip -tqq:       $u ms"
awk -v v="$v" -v u="$u" 'BEGIN { if (u > 0) printf "ratio vantelo/unzip: %.2f\n", v / u }'
