#!/usr/bin/env bash
# Measures, in one run, how long the project makes people wait, each figure
# with the load average when it was taken (the build machine is shared: the
# CPU seconds and instruction counts are the steadier numbers):
#   1. scripts/platsim.sh on a fresh machine to the first report: the package
#      install of its group (estimated, see below) plus a clean build from a
#      fresh clone with an empty compiler cache and the first report
#   2. a second run of scripts/platsim.sh
#   3. .ci/run on a fresh clone with an empty compiler cache (the packages are
#      already installed here; their install time is figure 1's estimate for
#      every group)
#   4. the default test suite: ctest -j2 in an up-to-date build/default
#   5. a platsim boot beside the QEMU firmware run of the same story (medians),
#      and the boot's instructions (callgrind)
# Packages cannot be removed from a shared machine, so an install is
# estimated: the measured install of every group (INSTALL_ALL_SECONDS,
# default 80 s on this machine) scaled by the download size of what a bare
# Debian 12 lacks for the platsim group over that of every group.
# Not a test: it measures. A figure that misses its target is marked MISSED.
#
# Usage: bench/speed.sh [FIGURE...]     (default: 1 2 3 4 5; "packages": figure 1's estimate alone)
#   RUNS=N       platsim boots timed (default 10); QEMU_RUNS=N firmware runs (default 3)
#   BUILD_DIR=D  the build of figures 4 and 5 (default build/default)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-build/default}
figures=("$@")
((${#figures[@]})) || figures=(1 2 3 4 5)
work=$(mktemp -d /tmp/speed.XXXXXX)
trap 'rm -rf "$work"' EXIT

load() { cut -d' ' -f1 /proc/loadavg; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN{printf "%.3f", b-a}'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN{print (v <= t) ? "met" : "MISSED"}'; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
# CPU seconds (user + system) of the children of a command.
cpu_of() { # file-with-times-output
  awk '/^user/{u=$2} /^sys/{s=$2} END{
    split(u, a, /[ms]/); split(s, b, /[ms]/); printf "%.0f", a[1]*60+a[2]+b[1]*60+b[2]}' "$1"
}

# Packages and download megabytes a bare system lacks for the groups given:
# apt's resolver against an empty package database, less what a minimal
# Debian 12 has (priority required or important).
bare_install() { # group...
  mapfile -t wanted < <(scripts/deps.sh --list "$@")
  apt-get -s -o Dir::State::status=/dev/null install --no-install-recommends "${wanted[@]}" \
    2>/dev/null | awk '/^Inst /{print $2}' >"$work/closure"
  # shellcheck disable=SC2046
  apt-cache show --no-all-versions $(cat "$work/closure") 2>/dev/null | awk '
    /^Package:/ {p = $2} /^Priority:/ {prio = $2} /^Size:/ {size = $2}
    /^$/ { if (p != "" && prio != "required" && prio != "important") {n++; bytes += size} p = "" }
    END { printf "%d %.0f\n", n, bytes / 1e6 }'
}
fresh_clone() { # dir
  git clone -q --no-hardlinks "$root" "$1"
}

for figure in "${figures[@]}"; do
  case $figure in
  1 | packages)
    echo "== 1. scripts/platsim.sh on a fresh machine, to the first report"
    read -r all_n all_mb < <(bare_install)
    read -r ps_n ps_mb < <(bare_install platsim)
    full=${INSTALL_ALL_SECONDS:-80}
    install=$(awk -v f="$full" -v a="$all_mb" -v p="$ps_mb" 'BEGIN{printf "%.0f", f * p / a}')
    echo "packages: platsim group $ps_n packages, $ps_mb MB; every group $all_n packages," \
      "$all_mb MB; install estimate ${install} s (${full} s measured for every group, scaled by size)"
    [ "$figure" = packages ] && { echo; continue; }
    fresh_clone "$work/first"
    l=$(load)
    start=$(now)
    { time (cd "$work/first" && CCACHE_DISABLE=1 scripts/platsim.sh >"$work/first.out" 2>&1); } 2>"$work/first.time"
    first=$(since "$start")
    grep -q . "$work/first.out" || { echo "platsim.sh printed nothing"; exit 1; }
    total=$(awk -v a="$install" -v b="$first" 'BEGIN{printf "%.0f", a+b}')
    echo "clean build and first report: ${first} s wall, $(cpu_of "$work/first.time") CPU s (load $l)"
    echo "first run: about ${total} s, target <= 120 s: $(verdict "$total" 120)"
    ;;
  2)
    echo "== 2. scripts/platsim.sh, second run"
    dir=$work/first
    [ -d "$dir" ] || { fresh_clone "$dir" && (cd "$dir" && scripts/platsim.sh >/dev/null 2>&1); }
    times=()
    for _ in 1 2 3; do
      l=$(load)
      start=$(now)
      (cd "$dir" && scripts/platsim.sh >/dev/null 2>&1)
      times+=("$(since "$start")")
    done
    m=$(printf '%s\n' "${times[@]}" | median)
    echo "second run: median ${m} s (runs: ${times[*]}; load $l), target < 2 s: $(verdict "$m" 1.99)"
    ;;
  3)
    echo "== 3. .ci/run on a fresh clone"
    fresh_clone "$work/ci"
    l=$(load)
    start=$(now)
    status=0
    { time (cd "$work/ci" && CCACHE_DISABLE=1 .ci/run >"$work/ci.out" 2>&1); } 2>"$work/ci.time" || status=$?
    wall=$(since "$start")
    echo ".ci/run: exit $status, ${wall} s wall, $(cpu_of "$work/ci.time") CPU s (load at start $l, at end $(load))"
    grep -E "tests passed|tests failed" "$work/ci.out" || tail -n 20 "$work/ci.out"
    grep -A 20 "The following tests FAILED" "$work/ci.out" | grep -E "^\s+[0-9]+ - " || true
    echo "where the time went (scripts/test.sh's steps):"
    grep "^test.sh: " "$work/ci.out" || true
    ninja_log=$work/ci/build/sanitize/.ninja_log
    if [ -f "$ninja_log" ]; then
      echo "sanitize build: $(awk 'NR>1' "$ninja_log" | wc -l) ninja steps; longest:"
      awk 'NR>1{printf "%6.1f s  %s\n", ($2-$1)/1000, $4}' "$ninja_log" | sort -rn | head -n 5
    fi
    if ((status)); then
      echo ".ci/run (packages present): FAILED (exit $status): a failed run is no figure"
    else
      echo ".ci/run (packages present): target <= 600 s: $(verdict "$wall" 600)"
    fi
    ;;
  4)
    echo "== 4. Default test suite (ctest -j2, $build up to date)"
    cmake --build "$build" -j2 >/dev/null
    l=$(load)
    start=$(now)
    (cd "$build" && ctest -j2 --timeout 300 >"$work/ctest.out" 2>&1) || true
    wall=$(since "$start")
    grep -E "tests passed|tests failed" "$work/ctest.out"
    echo "default suite: ${wall} s wall (load $l), target <= 20 s: $(verdict "$wall" 20)"
    echo "longest tests:"
    grep -E "Test +#" "$work/ctest.out" | sed -E 's/.*Test +#[0-9]+: ([^ ]+) .* ([0-9.]+) sec/\2 s  \1/' |
      sort -rn | head -n 5
    ;;
  5)
    echo "== 5. A platsim boot beside the QEMU firmware run"
    cmake --build "$build" -j2 --target platsim images >/dev/null
    platsim=$build/tools/platsim/platsim
    "$platsim" boot >/dev/null # the TPM cache is made once per machine
    # The boot beside QEMU's is timed without the DSDT's evaluation by
    # acpiexec (two outside processes the firmware run has no counterpart of);
    # the default boot, with it, is shown too.
    l=$(load)
    for _ in $(seq "${RUNS:-10}"); do
      start=$(now)
      "$platsim" boot --no-acpiexec >/dev/null
      since "$start"
      echo
    done >"$work/boot.times"
    boot=$(median <"$work/boot.times")
    for _ in $(seq "${RUNS:-10}"); do
      start=$(now)
      "$platsim" boot >/dev/null
      since "$start"
      echo
    done >"$work/acpiexec.times"
    cpu=$(perf stat -x, -e task-clock -r 5 "$platsim" boot --no-acpiexec 2>&1 >/dev/null | awk -F, '{printf "%.1f", $1}' || true)
    echo "platsim boot --no-acpiexec: median ${boot} s wall (runs: $(tr '\n' ' ' <"$work/boot.times"); load $l), ${cpu:-?} ms CPU"
    echo "platsim boot (with acpiexec): median $(median <"$work/acpiexec.times") s wall"
    if command -v valgrind >/dev/null; then
      objcopy --strip-debug "$platsim" "$work/platsim"
      (cd "$work" && valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" ./platsim boot --no-acpiexec \
        >/dev/null 2>"$work/cg.err") || true
      instructions=$(sed -n 's/.*Collected : //p' "$work/cg.err")
      self_test=$(callgrind_annotate --inclusive=yes "$work/cg.out" 2>/dev/null |
        awk '/TPMLIB_MainInit/ && !n {gsub(",", "", $1); print $1; n = 1}' || true)
      echo "instructions a boot: ${instructions:-?} (libtpms power-on and self-test: ${self_test:-?})"
    fi
    : >"$work/qemu.times"
    for _ in $(seq "${QEMU_RUNS:-3}"); do
      out=$(scripts/firmware-run.sh "$build/images" 2>&1 || true)
      wall=$(sed -n 's/^firmware-run: qemu exit [0-9]*, wall \([0-9.]*\) s$/\1/p' <<<"$out")
      [ -n "$wall" ] || { echo "firmware run failed:"; tail -n 5 <<<"$out"; break; }
      echo "$wall" >>"$work/qemu.times"
    done
    if [ -s "$work/qemu.times" ]; then
      qemu=$(median <"$work/qemu.times")
      ratio=$(awk -v q="$qemu" -v p="$boot" 'BEGIN{printf "%.0f", q/p}')
      echo "firmware run: median ${qemu} s (runs: $(tr '\n' ' ' <"$work/qemu.times"); load $(load))"
      echo "platsim is ${ratio}x faster, target >= 100x: $(awk -v r="$ratio" 'BEGIN{print (r >= 100) ? "met" : "MISSED"}')"
    fi
    ;;
  *) echo "speed: unknown figure $figure (1-5)" >&2; exit 2 ;;
  esac
  echo
done
