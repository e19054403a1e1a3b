#!/usr/bin/env bash
# Runs one libFuzzer target on its seed corpus for a bounded time, with its
# dictionary (dict/<target>.dict) when it has one. New inputs go to the work
# folder, never into the source tree; a crash leaves its input there too.
# Usage: run-fuzz.sh TARGET SEED_DIR WORK_DIR SECONDS [MAX_RUNS]
set -euo pipefail
target=$1 seeds=$2 work=$3 seconds=$4 runs=${5:--1}
mkdir -p "$work/corpus" "$work/artifacts"
dirs=("$work/corpus")
[ -d "$seeds" ] && dirs+=("$seeds")
extra=()
dict=$(dirname "$0")/dict/$(basename "$target").dict
[ -f "$dict" ] && extra+=("-dict=$dict")
exec "$target" "${extra[@]}" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "${dirs[@]}"
