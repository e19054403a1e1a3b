#!/usr/bin/env bash
# Runs every fuzz target (or the ones named) for longer than CI does, one after the other,
# on the sanitize build. Crash inputs land in build/sanitize/tests/fuzz/work/<target>/artifacts.
# Usage: scripts/fuzz.sh [SECONDS per target, default 300] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
shift || true
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
  echo "== $target: $seconds s"
  tests/fuzz/run-fuzz.sh "$dir/$target" "tests/fuzz/corpus/$target" "$dir/work/$target" \
    "$seconds" || status=1
done
exit $status
