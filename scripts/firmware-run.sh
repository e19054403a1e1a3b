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
fw_name=firmware-run
. scripts/lib/firmware-run.sh
fw_args "$@"

app=$images/tests/firmware/FirmwareTest.efi
fw_require "build the images first: scripts/build.sh" \
  "$app" "$images/tpm_platform/TpmPlatformDxe.efi" "$images/button_smm/ButtonSmm.efi"
code=/usr/share/OVMF/OVMF_CODE_4M.fd
vars=/usr/share/OVMF/OVMF_VARS_4M.fd
fw_require "Debian package ovmf" "$code" "$vars"

swtpm_pid=
fw_stop() { [ -z "$swtpm_pid" ] || kill "$swtpm_pid" 2>/dev/null || true; }
fw_workdir
fw_volume "$app" "$vars"
mkdir -p "$work/tpm"
cp "$images/tpm_platform/TpmPlatformDxe.efi" "$images/button_smm/ButtonSmm.efi" "$work/esp/"
# Anything else the volume should carry (scripts/os-run.sh adds a kernel and its initrd).
[ -z "${FIRMWARE_RUN_ESP_EXTRA:-}" ] || cp -R "$FIRMWARE_RUN_ESP_EXTRA"/. "$work/esp/"

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

fw_tally fw-test "$(printf 'firmware-run: qemu exit %s, wall %.1f s' "$qemu_rc" \
  "$(awk -v a="$start" -v b="$end" 'BEGIN{print b-a}')")"
