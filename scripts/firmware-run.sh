#!/usr/bin/env bash
# Runs the driver images on real UEFI firmware: OVMF under QEMU with a TPM 1.2
# from swtpm. The firmware boots the test application directly
# (\EFI\BOOT\BOOTX64.EFI), which plays the platform around the drivers, prints
# one line per check on the serial console and powers off.
#
# Usage: scripts/firmware-run.sh [IMAGE_BUILD_DIR] [--keep DIR]
# IMAGE_BUILD_DIR defaults to build/default/images. Exit status 0 only when
# every check passed.
# Environment: FIRMWARE_RUN_ESP_EXTRA=DIR copies DIR's files onto the volume
# too; FIRMWARE_RUN_TIMEOUT=SECONDS bounds QEMU (default 120).
set -euo pipefail
cd "$(dirname "$0")/.."
images=${1:-build/default/images}
keep=
if [ "${2:-}" = --keep ]; then keep=${3:?--keep needs a directory}; fi

app=$images/tests/firmware/FirmwareTest.efi
for f in "$app" "$images/tpm_platform/TpmPlatformDxe.efi" "$images/button_smm/ButtonSmm.efi"; do
  [ -f "$f" ] || { echo "firmware-run: missing $f (build the images first: scripts/build.sh)" >&2; exit 2; }
done
code=/usr/share/OVMF/OVMF_CODE_4M.fd
vars=/usr/share/OVMF/OVMF_VARS_4M.fd
for f in "$code" "$vars"; do
  [ -f "$f" ] || { echo "firmware-run: missing $f (Debian package ovmf)" >&2; exit 2; }
done

work=${keep:-$(mktemp -d)}
mkdir -p "$work"
swtpm_pid=
cleanup() {
  [ -n "$swtpm_pid" ] && kill "$swtpm_pid" 2>/dev/null || true
  [ -n "$keep" ] || rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/esp/EFI/BOOT" "$work/tpm"
cp "$app" "$work/esp/EFI/BOOT/BOOTX64.EFI"
cp "$images/tpm_platform/TpmPlatformDxe.efi" "$images/button_smm/ButtonSmm.efi" "$work/esp/"
# Anything else the volume should carry (scripts/os-run.sh adds a kernel and its initrd).
[ -z "${FIRMWARE_RUN_ESP_EXTRA:-}" ] || cp -R "$FIRMWARE_RUN_ESP_EXTRA"/. "$work/esp/"
cp "$vars" "$work/vars.fd"
chmod u+w "$work/vars.fd"

sock=$work/swtpm.sock
swtpm socket --tpmstate dir="$work/tpm" --ctrl type=unixio,path="$sock" \
  --log file="$work/swtpm.log",level=1 --flags startup-none &
swtpm_pid=$!
for _ in $(seq 50); do [ -S "$sock" ] && break; sleep 0.1; done
[ -S "$sock" ] || { echo "firmware-run: swtpm did not start" >&2; exit 2; }

serial=$work/serial.log
start=$(date +%s.%N)
set +e
timeout "${FIRMWARE_RUN_TIMEOUT:-120}" qemu-system-x86_64 -machine q35 -m 256 -accel tcg \
  -drive if=pflash,format=raw,unit=0,readonly=on,file="$code" \
  -drive if=pflash,format=raw,unit=1,file="$work/vars.fd" \
  -drive format=raw,file=fat:rw:"$work/esp" \
  -chardev socket,id=chrtpm,path="$sock" -tpmdev emulator,id=tpm0,chardev=chrtpm \
  -device tpm-tis,tpmdev=tpm0 \
  -display none -vga none -net none -monitor none -serial file:"$serial" -no-reboot \
  </dev/null
qemu_rc=$?
set -e
end=$(date +%s.%N)

# The console mirrors to serial with escape sequences and CR; keep our lines.
clean=$(sed 's/\x1b\[[0-9;]*[A-Za-z]//g' "$serial" | tr -d '\r')
printf '%s\n' "$clean" | grep -E '^\[fw-test\]' || true
printf 'firmware-run: qemu exit %s, wall %.1f s\n' "$qemu_rc" "$(awk -v a="$start" -v b="$end" 'BEGIN{print b-a}')"
summary=$(printf '%s\n' "$clean" | grep -E '^\[fw-test\] [0-9]+ passed, [0-9]+ failed$' | tail -n 1 || true)
if [ -z "$summary" ]; then
  echo "firmware-run: no summary line: the application did not finish" >&2
  printf '%s\n' "$clean" | tail -n 20 >&2
  exit 1
fi
passed=$(echo "$summary" | awk '{print $2}')
failed=$(echo "$summary" | awk '{print $4}')
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
