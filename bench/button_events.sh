#!/usr/bin/env bash
# Cost of the hot-key paths in ButtonSmm: port accesses (counted by the board's
# access trace) and host instructions (valgrind's callgrind, collected only
# inside the driver's handler) of
#   one volume-up press and its release (GPI 6, ACPI mode, EC takes the slots),
#   one brightness step (brightness-up press),
#   a command 0 (GetButtonInfo) and a command 1 (SetButton) software SMI.
# Not a test: it prints numbers. Usage: bench/button_events.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
if [ ! -x "$build/tools/platsim/platsim" ] || [ "${REBUILD:-1}" = 1 ]; then
  [ -f "$build/CMakeCache.txt" ] || scripts/build.sh default >/dev/null
  cmake --build "$build" --target platsim >/dev/null
fi
platsim=$(realpath "$build/tools/platsim/platsim")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Port accesses of each handler call, from platsim's JSON report.
ports() { # json-file section
  python3 - "$1" "$2" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))["boots"][0][sys.argv[2]]
if "events" in data:
    print(" ".join(str(e["port_accesses"]) for e in data["events"]))
else:
    print(data["port_accesses"])
PY
}

# valgrind 3.19 cannot read clang 14's DWARF 5: a copy without debug
# information still has every function name in its symbol table.
objcopy --strip-debug "$platsim" "$work/platsim"

# Instructions executed inside the handler, one number per part: with a split
# function, callgrind dumps after each time it returns (the GPI 6 handler ends
# with the flush, so each event is one part); without, the whole run is one.
instructions() { # handler split-function|- platsim-args...
  local symbol=$1 split=$2
  shift 2
  local dump=()
  [ "$split" = - ] || dump=(--dump-after="ButtonSmm::$split(*")
  rm -f "$work"/callgrind.out.*
  (cd "$work" && valgrind --tool=callgrind --collect-atstart=no \
    --toggle-collect="ButtonSmm::$symbol(*" "${dump[@]}" \
    --callgrind-out-file="$work/callgrind.out" ./platsim "$@" >/dev/null 2>&1)
  local counts=()
  for f in "$work/callgrind.out" $(ls "$work"/callgrind.out.* 2>/dev/null | sort -t. -k3 -n); do
    local n
    n=$(awk '/^summary:/ {print $2; exit}' "$f")
    [ -n "$n" ] && [ "$n" != 0 ] && counts+=("$n")
  done
  echo "${counts[*]}"
}

"$platsim" press volume-up --json "$work/volume.json" >/dev/null
"$platsim" press brightness-up --json "$work/brightness.json" >/dev/null
"$platsim" smi button-info volume-up --json "$work/get.json" >/dev/null
"$platsim" smi set-button volume-up --keys E030 --json "$work/set.json" >/dev/null
read -r press_ports release_ports <<<"$(ports "$work/volume.json" button_press)"
read -r step_ports _ <<<"$(ports "$work/brightness.json" button_press)"
get_ports=$(ports "$work/get.json" smi_request)
set_ports=$(ports "$work/set.json" smi_request)

read -r press_ir release_ir <<<"$(instructions ButtonEventHandler FlushKeyQueue press volume-up)"
read -r step_ir _ <<<"$(instructions ButtonEventHandler FlushKeyQueue press brightness-up)"
read -r get_ir <<<"$(instructions CommandDispatcher - smi button-info volume-up)"
read -r set_ir <<<"$(instructions CommandDispatcher - smi set-button volume-up --keys E030)"

printf '%-34s %14s %22s\n' "path" "port accesses" "host instructions (Ir)"
printf '%-34s %14s %22s\n' "volume-up press (E0 30)" "$press_ports" "$press_ir"
printf '%-34s %14s %22s\n' "volume-up release (E0 B0)" "$release_ports" "$release_ir"
printf '%-34s %14s %22s\n' "brightness step (up, ACPI mode)" "$step_ports" "$step_ir"
printf '%-34s %14s %22s\n' "SMI 0xE3 command 0 GetButtonInfo" "$get_ports" "$get_ir"
printf '%-34s %14s %22s\n' "SMI 0xE3 command 1 SetButton" "$set_ports" "$set_ir"
cat <<'TXT'

Host instructions include the board model serving each port access (the
simulated EC window, trace recording), which dominates the driver's own work.

Port accesses the algorithms call for (each EC byte access is 4 port
accesses: page register write, window access, 0xA03 read, page restore):
  press/release: read and acknowledge EC 0x6C1 (8), read EC 0x6C9 (4),
                 port 0x404 for the ACPI-mode test (1), read EC 0x6D5 (4),
                 two slot writes (8), write EC 0x6D5 (4)             = 29
  brightness step: 0x6C1 (8), 0x6C9 (4), level and commit writes (8),
                 0x404 (1), notification: 0x404, read and write 0xA46 (3),
                 read EC 0x6D5 (4), nothing queued                  = 28
  command 0: memory only                                             = 0
  command 1: the repeat timing write to EC 0x6E4                     = 4
TXT
