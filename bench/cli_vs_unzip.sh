#!/usr/bin/env bash
# Times `vantelo-cli test` against Info-ZIP `unzip -tqq` on the benchmark
# archives (bench/make-archives.sh): many mixed files, one 100 MB entry, 20,000
# small files, ZipCrypto, entries chosen by name. Medians of alternating runs.
#   bench/cli_vs_unzip.sh [BUILD_DIR] [RUNS]     (BUILD_DIR default: build-bench)
# Build BUILD_DIR as a release build first (`make bench` does).
set -euo pipefail
build=${1:-build-bench}
runs=${2:-5}
[ -x "$build/vantelo-cli" ] || { echo "no $build/vantelo-cli; build it first" >&2; exit 1; }
exec "$(dirname "$0")/goals.py" --build "$build" --runs "$runs" --only cli
