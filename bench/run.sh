#!/usr/bin/env bash
# Prints, in one run, the figures the project tracks, each beside its target:
#   1. image sizes of both drivers            (scripts/image-sizes.sh)
#   2. port accesses and host instructions per button event and per SMI
#      command                               (bench/button_events.sh)
#   3. variable writes and TPM commands of a steady-state boot: the second boot
#      of the reference board on one state directory (platsim's JSON report)
#   4. platsim's wall time for a full boot of the reference board beside the
#      wall time of the QEMU firmware run of the same story (median of N runs);
#      platsim's acpiexec evaluation of the DSDT timed apart
#   5. the SMM story on firmware: image patch, QEMU run, whole story
#      (bench/smm_story.sh; skipped with NO_QEMU=1)
#   6. the OS run (scripts/os-run.sh: the firmware run, then Debian's kernel):
#      its QEMU wall time beside the firmware run's, and the whole script's
# Not a test: it measures. A figure that misses its target is marked MISSED.
#
# Usage: bench/run.sh [BUILD_DIR]     (default build/default)
#   RUNS=N        platsim boots timed (default 5)
#   QEMU_RUNS=N   firmware runs timed (default 3)
#   SMM_RUNS=N    SMM story runs timed (default 3)
#   OS_RUNS=N     OS runs timed (default 3; 0 skips them)
#   NO_QEMU=1     skip the firmware, SMM and OS runs (no ratio then)
#   NO_BUILD=1    use what is built
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
runs=${RUNS:-5}
qemu_runs=${QEMU_RUNS:-3}

if [ "${NO_BUILD:-0}" != 1 ]; then
  [ -f "$build/CMakeCache.txt" ] || scripts/build.sh default >/dev/null
  cmake --build "$build" -j2 --target platsim images >/dev/null
  cmake --build "$build" -j2 --target os_boot_files >/dev/null 2>&1 || true
fi
platsim=$(realpath "$build/tools/platsim/platsim")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

verdict() { # ok-expression-result
  if [ "$1" = 1 ]; then echo "met"; else echo "MISSED"; fi
}

echo "== 1. Image sizes (bytes)"
scripts/image-sizes.sh "$build" | tee "$work/sizes.txt"
size_of() { awk -v n="$1" '$1 == n {print $2}' "$work/sizes.txt"; }
tpm_size=$(size_of TpmPlatformDxe.efi)
button_size=$(size_of ButtonSmm.efi)
printf 'TpmPlatformDxe.efi %s bytes, target <= 24576 (24 KiB): %s\n' "$tpm_size" \
  "$(verdict $((tpm_size <= 24576)))"
printf 'ButtonSmm.efi      %s bytes, target <= 12288 (12 KiB): %s\n' "$button_size" \
  "$(verdict $((button_size <= 12288)))"

echo
echo "== 2. Button events and SMI commands"
if [ -x bench/button_events.sh ]; then
  REBUILD=0 bench/button_events.sh "$build" || echo "bench/button_events.sh failed"
else
  echo "not measured: bench/button_events.sh is not in this tree yet"
fi

echo
echo "== 3. Steady-state boot (second boot of the reference board)"
mkdir -p "$work/state"
"$platsim" boot --boots 2 --state "$work/state" --json "$work/steady.json" >/dev/null || true
python3 - "$work/steady.json" <<'PY'
import collections, json, sys
boots = json.load(open(sys.argv[1]))["boots"]
boot = boots[-1]
print(f"boot {boot['boot']} of {len(boots)}: outcome {boot['outcome']}")
writes = collections.Counter(w["name"] for w in boot.get("variables", []))
total = sum(writes.values())
print(f"variable writes: {total}")
for name, n in sorted(writes.items()):
    print(f"  {name}: {n}")
allowed = {"ZELTCGPPIVAR", "TCG"}
extra = sorted(set(writes) - allowed)
verdict = "met" if not extra else "MISSED (also " + ", ".join(extra) + ")"
print(f"target: writes only ZELTCGPPIVAR and TCG: {verdict}")
tpm = boot.get("tpm")
if tpm is None or "requests" not in tpm:
    print("TPM commands: not measured (the board's report has no TPM request list yet)")
else:
    reqs = tpm["requests"]
    print(f"TPM commands (PassThroughToTpm): {len(reqs)}")
    for name, n in collections.Counter(r.split(" ->")[0].split(":")[0] for r in reqs).items():
        print(f"  {name}: {n}")
    if "event_log_records" in tpm:
        print(f"event-log records (each one TPM_Extend): {tpm['event_log_records']}")
PY

echo
echo "== 4. Full boot: platsim vs the QEMU firmware run (medians)"
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
# The board's boot alone: the acpiexec evaluation runs two outside processes
# and is timed on its own below.
timed_boots() {
  for _ in $(seq "$runs"); do
    s=$(date +%s.%N)
    "$platsim" boot "$@" >/dev/null || true
    e=$(date +%s.%N)
    awk -v a="$s" -v b="$e" 'BEGIN{printf "%.4f\n", b-a}'
  done
}
timed_boots --no-acpiexec >"$work/platsim.times"
platsim_median=$(median <"$work/platsim.times")
printf 'platsim boot:  median %.3f s (runs: %s)\n' "$platsim_median" "$(tr '\n' ' ' <"$work/platsim.times")"
timed_boots >"$work/platsim-acpiexec.times"
printf 'platsim boot with the acpiexec evaluation (the default): median %.3f s\n' \
  "$(median <"$work/platsim-acpiexec.times")"
if [ "${NO_QEMU:-0}" = 1 ]; then
  echo "firmware run:  skipped (NO_QEMU=1)"
  exit 0
fi
: >"$work/qemu.times"
for _ in $(seq "$qemu_runs"); do
  # The script prints the wall time of QEMU alone (swtpm start-up excluded).
  out=$(scripts/firmware-run.sh "$build/images" 2>&1 || true)
  wall=$(sed -n 's/^firmware-run: qemu exit [0-9]*, wall \([0-9.]*\) s$/\1/p' <<<"$out")
  if [ -z "$wall" ]; then
    echo "firmware run failed:"
    tail -n 5 <<<"$out"
    break
  fi
  echo "$wall" >>"$work/qemu.times"
  tail -n 1 <<<"$out" >"$work/qemu.last"
done
if [ -s "$work/qemu.times" ]; then
  qemu_median=$(median <"$work/qemu.times")
  printf 'firmware run:  median %.3f s (runs: %s; last: %s)\n' "$qemu_median" \
    "$(tr '\n' ' ' <"$work/qemu.times")" "$(cat "$work/qemu.last")"
  ratio=$(awk -v q="$qemu_median" -v p="$platsim_median" 'BEGIN{printf "%.1f", q/p}')
  printf 'ratio: platsim is %sx faster, target >= 20x: %s\n' "$ratio" \
    "$(verdict "$(awk -v r="$ratio" 'BEGIN{print (r >= 20) ? 1 : 0}')")"
fi

echo
echo "== 5. SMM story on firmware (ButtonSmm in SMRAM)"
bench/smm_story.sh "$build" || echo "bench/smm_story.sh failed"

echo
echo "== 6. OS run: the firmware run, then Debian's kernel reads the log (medians)"
os_dir=$build/tests/os/linux
if [ "${OS_RUNS:-3}" = 0 ] || [ ! -f "$os_dir/vmlinuz" ]; then
  echo "OS run: skipped (OS_RUNS=0 or no $os_dir/vmlinuz)"
  exit 0
fi
: >"$work/os.times"
: >"$work/os-total.times"
for _ in $(seq "${OS_RUNS:-3}"); do
  s=$(date +%s.%N)
  out=$(scripts/os-run.sh "$build/images" "$os_dir" 2>&1 || true)
  e=$(date +%s.%N)
  wall=$(sed -n 's/^firmware-run: qemu exit [0-9]*, wall \([0-9.]*\) s$/\1/p' <<<"$out")
  if [ -z "$wall" ] || ! tail -n 1 <<<"$out" | grep -q ' 0 failed$'; then
    echo "OS run failed:"
    tail -n 5 <<<"$out"
    break
  fi
  echo "$wall" >>"$work/os.times"
  awk -v a="$s" -v b="$e" 'BEGIN{printf "%.2f\n", b-a}' >>"$work/os-total.times"
  tail -n 1 <<<"$out" >"$work/os.last"
done
if [ -s "$work/os.times" ]; then
  os_median=$(median <"$work/os.times")
  printf 'OS run:        QEMU median %.3f s, whole script median %.2f s (runs: %s; last: %s)\n' \
    "$os_median" "$(median <"$work/os-total.times")" "$(tr '\n' ' ' <"$work/os.times")" \
    "$(cat "$work/os.last")"
  if [ -n "${qemu_median:-}" ]; then
    printf 'Linux adds %.1f s to the firmware run; whole OS run target <= 30 s: %s\n' \
      "$(awk -v o="$os_median" -v q="$qemu_median" 'BEGIN{print o-q}')" \
      "$(verdict "$(awk -v t="$(median <"$work/os-total.times")" 'BEGIN{print (t <= 30) ? 1 : 0}')")"
  fi
fi
