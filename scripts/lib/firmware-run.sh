# Sourced by the firmware run scripts (firmware-run.sh, firmware-smm-run.sh):
# the arguments they share, the input checks, the work folder, the boot volume
# with the test application, and the tally of the application's serial lines.
# Each function uses $fw_name (the calling script's name, for messages).

# fw_args [IMAGE_BUILD_DIR] [--keep DIR]: sets images and keep.
fw_args() {
  images=${1:-build/default/images}
  keep=
  if [ "${2:-}" = --keep ]; then keep=${3:?--keep needs a directory}; fi
}

# fw_require HINT FILE...: exits 2 naming the first missing file and the hint.
fw_require() {
  local hint=$1 f
  shift
  for f in "$@"; do
    [ -f "$f" ] || { echo "$fw_name: missing $f ($hint)" >&2; exit 2; }
  done
}

# fw_workdir: sets work (--keep's folder, or a temporary one removed at exit)
# and runs fw_stop, which a script may redefine, at exit.
fw_stop() { :; }
fw_workdir() {
  work=${keep:-$(mktemp -d)}
  mkdir -p "$work"
  trap 'fw_stop; [ -n "$keep" ] || rm -rf "$work"' EXIT
}

# fw_volume APP VARS: the boot volume $work/esp with APP as its default boot
# program, and a writable copy of the variable store VARS as $work/vars.fd.
fw_volume() {
  mkdir -p "$work/esp/EFI/BOOT"
  cp "$1" "$work/esp/EFI/BOOT/BOOTX64.EFI"
  cp "$2" "$work/vars.fd"
  chmod u+w "$work/vars.fd"
}

# fw_tally TAG TIMING: prints the application's lines (those starting with
# [TAG]) from $work/serial.log, then TIMING, then the tally. Returns 0 only when
# every check passed; exits 1 when the application did not finish.
fw_tally() {
  local tag=$1 clean summary passed failed
  # The console mirrors to serial with escape sequences and CR; keep our lines.
  clean=$(sed 's/\x1b\[[0-9;]*[A-Za-z]//g' "$work/serial.log" | tr -d '\r')
  printf '%s\n' "$clean" | grep -aE "^\[$tag\]" || true
  echo "$2"
  summary=$(printf '%s\n' "$clean" | grep -aE "^\[$tag\] [0-9]+ passed, [0-9]+ failed$" | tail -n 1 || true)
  if [ -z "$summary" ]; then
    echo "$fw_name: no summary line: the application did not finish" >&2
    printf '%s\n' "$clean" | tail -n 20 >&2
    exit 1
  fi
  passed=$(echo "$summary" | awk '{print $2}')
  failed=$(echo "$summary" | awk '{print $4}')
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
