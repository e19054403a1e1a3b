#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for longer than CI does, one after the other,
# on the sanitize build. Crash inputs land in build/sanitize/tests/fuzz/work/<target>/artifacts.
# Usage: scripts/fuzz.sh [SECONDS per target, default 300] [TARGET...]
#        scripts/fuzz.sh --long [TARGET...]   10 million inputs per target, however long it takes
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=300
runs=-1
if [ "${1:-}" = --long ]; then
  seconds=0 # no time limit: libFuzzer stops after the runs
  runs=10000000
  shift
elif [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
scripts/deps.sh test
dir=build/sanitize/tests/fuzz
if [ $# -eq 0 ]; then
  for source in tests/fuzz/*_fuzz.cpp; do
    [ -e "$source" ] && set -- "$@" "$(basename "$source" .cpp)"
  done
fi
scripts/build.sh sanitize "$@" >/dev/null
status=0
for target in "$@"; do
  if [ "$runs" -gt 0 ]; then echo "== $target: $runs inputs"; else echo "== $target: $seconds s"; fi
  start=$(date +%s)
  tests/fuzz/run-fuzz.sh "$dir/$target" "tests/fuzz/corpus/$target" "$dir/work/$target" \
    "$seconds" "$runs" || status=1
  echo "== $target: $(($(date +%s) - start)) s"
done
exit $status
