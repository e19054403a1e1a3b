#!/usr/bin/env bash
# Times the SMM story on firmware (scripts/firmware-smm-run.sh): patching the
# OVMF image with tools/fwimage, the QEMU run (boot, ButtonSmm loaded into
# SMRAM, the OS's SMIs), and the whole story; medians of N runs.
# Not a test: it measures.
#
# Usage: bench/smm_story.sh [BUILD_DIR]    (default build/default)
#   SMM_RUNS=N   runs timed (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
runs=${SMM_RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
for _ in $(seq "$runs"); do
  out=$(scripts/firmware-smm-run.sh "$build/images" 2>&1 || true)
  line=$(grep -E '^firmware-smm-run: image patched' <<<"$out" || true)
  if [ -z "$line" ] || ! grep -q ' 0 failed$' <<<"$out"; then
    echo "SMM story failed:"
    tail -n 5 <<<"$out"
    exit 1
  fi
  sed -n 's/.*patched in \([0-9.]*\) s.*/\1/p' <<<"$line" >>"$work/patch"
  sed -n 's/.*wall \([0-9.]*\) s;.*/\1/p' <<<"$line" >>"$work/qemu"
  sed -n 's/.*story \([0-9.]*\) s$/\1/p' <<<"$line" >>"$work/story"
  tail -n 1 <<<"$out" >"$work/last"
done
printf 'SMM story (%s runs, last: %s)\n' "$runs" "$(cat "$work/last")"
printf '  image patch (fwimage): median %.1f s (runs: %s)\n' "$(median <"$work/patch")" "$(tr '\n' ' ' <"$work/patch")"
printf '  QEMU boot and SMIs:    median %.1f s (runs: %s)\n' "$(median <"$work/qemu")" "$(tr '\n' ' ' <"$work/qemu")"
printf '  whole story:           median %.1f s (runs: %s)\n' "$(median <"$work/story")" "$(tr '\n' ' ' <"$work/story")"
