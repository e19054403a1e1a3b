#!/usr/bin/env bash
# Runs .clusterfuzzlite/build.sh with the variables a cluster sets for libFuzzer
# with AddressSanitizer, into a temporary $OUT, then checks what it left there:
# every target of tests/fuzz built, each with its seed corpus archive, and each
# target run once over its seed corpus (with its dictionary, which libFuzzer
# refuses when malformed).
# Usage: cluster-check.sh SOURCE_DIR WORK_DIR (WORK_DIR keeps the build between runs)
set -euo pipefail
root=$(cd "$1" && pwd)
work=$(mkdir -p "$2" && cd "$2" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

export CC=clang CXX=clang++
export CFLAGS="-O1 -fno-omit-frame-pointer -gline-tables-only -DFUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION -fsanitize=address -fsanitize-address-use-after-scope -fsanitize=fuzzer-no-link"
export CXXFLAGS="$CFLAGS"
export LIB_FUZZING_ENGINE=-fsanitize=fuzzer
export SANITIZER=address FUZZING_ENGINE=libfuzzer ARCHITECTURE=x86_64
export SRC=$(dirname "$root") OUT=$out WORK=$work
if command -v ccache >/dev/null; then export CMAKE_CXX_COMPILER_LAUNCHER=ccache; fi

(cd "$root" && .clusterfuzzlite/build.sh) >"$work/build.log" 2>&1 || {
  tail -40 "$work/build.log"
  echo "cluster-check: build.sh failed (log: $work/build.log)"
  exit 1
}

status=0
count=0
for source in "$root"/tests/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  count=$((count + 1))
  if [ ! -x "$out/$name" ] || [ ! -f "$out/${name}_seed_corpus.zip" ]; then
    echo "cluster-check: $name: target or ${name}_seed_corpus.zip missing in \$OUT"
    status=1
    continue
  fi
  seeds=$(mktemp -d -p "$out")
  python3 -m zipfile -e "$out/${name}_seed_corpus.zip" "$seeds"
  args=(-runs=0 -timeout=10 -rss_limit_mb=2048)
  [ -f "$out/$name.dict" ] && args+=("-dict=$out/$name.dict")
  if log=$("$out/$name" "${args[@]}" "$seeds" 2>&1); then
    echo "cluster-check: $name: $(ls "$seeds" | wc -l) seeds ran$([ -f "$out/$name.dict" ] && echo ", dictionary $name.dict")"
  else
    echo "$log" | tail -30
    echo "cluster-check: $name failed on its seed corpus"
    status=1
  fi
done
[ "$count" -gt 0 ] || { echo "cluster-check: no fuzz targets"; exit 1; }
exit $status
