#!/usr/bin/env bash
# The SMM story on real firmware: Debian's SMM-enabled OVMF code image, patched
# by tools/fwimage to carry the Framework-on-PI compatibility driver and
# ButtonSmm in its DXE volume, booted under QEMU (q35, SMM on, TCG). The SMM
# drivers are dispatched from flash before the SMM lock; after boot the test
# application plays the OS, raises software SMIs through port 0xB2, prints one
# line per check on the serial console and powers off.
#
# Usage: scripts/firmware-smm-run.sh [IMAGE_BUILD_DIR] [--keep DIR]
# IMAGE_BUILD_DIR defaults to build/default/images. Exit status 0 only when
# every check passed; 1 when a check failed or the run did not finish; 2 when
# an input is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
fw_name=firmware-smm-run
. scripts/lib/firmware-run.sh
fw_args "$@"

app=$images/tests/firmware_smm/SmmStoryTest.efi
compat_smm=$images/smm_compat/SmmCompatSmm.efi
compat_dxe=$images/smm_compat/SmmCompatDxe.efi
button=$images/button_smm/ButtonSmm.efi
fw_require "build the images first: scripts/build.sh" "$app" "$compat_smm" "$compat_dxe" "$button"
code=/usr/share/OVMF/OVMF_CODE_4M.secboot.fd
vars=/usr/share/OVMF/OVMF_VARS_4M.fd
fw_require "Debian package ovmf" "$code" "$vars"

fw_workdir

# Files of the DXE volume and what each waits for (dependency expressions).
smm_cpu=EB346B97-975F-4A9F-8B22-F8E92BB3D569
smm_variable=ED32D533-99E6-4209-9CC0-2D72CDD998A7
compat_record=2B4E61D3-8C05-4F7A-9A12-5EC37048B16D
smm_communication=C68ED8E2-9DC6-4CBD-9D94-DB65ACC5C332
framework_smm_base=1390954D-DA95-4227-9328-7282C217DAA8
sw_dispatch=E541B773-DD11-420C-B026-DF993653F8BF
gpi_dispatch=E0744B81-9513-49CD-8CEA-E9245E7039DA
platform_data=37FDF585-4AA7-42A7-8E26-52DFCA466DC9
command_buffer=43F17FFF-3A1A-4E4F-97AA-2829CF80BD1B
start=$(date +%s.%N)
python3 tools/fwimage/fwimage.py add "$code" "$work/code.fd" \
  "smm:6E0A3F52-94C1-4B7D-A2E8-3C5B1D07F9A4:$compat_smm:$smm_cpu+$smm_variable" \
  "dxe:A81F4C26-5D3B-4E90-8B17-D2C6E4F0391B:$compat_dxe:$compat_record+$smm_communication" \
  "dxe:C4E7B2A9-1F38-4D56-9E0B-7A2D5C8F6134:$button:$framework_smm_base+$sw_dispatch+$gpi_dispatch+$platform_data+$command_buffer"
patched=$(date +%s.%N)

fw_volume "$app" "$vars"

serial=$work/serial.log
set +e
timeout 180 qemu-system-x86_64 -machine q35,smm=on -m 256 -smp 1 -accel tcg \
  -global driver=cfi.pflash01,property=secure,value=on -global ICH9-LPC.disable_s3=1 \
  -drive if=pflash,format=raw,unit=0,readonly=on,file="$work/code.fd" \
  -drive if=pflash,format=raw,unit=1,file="$work/vars.fd" \
  -drive format=raw,file=fat:rw:"$work/esp" \
  -display none -vga none -net none -monitor none -serial file:"$serial" -no-reboot \
  </dev/null
qemu_rc=$?
set -e
end=$(date +%s.%N)

fw_tally smm-test "$(awk -v a="$start" -v b="$patched" -v c="$end" -v rc="$qemu_rc" 'BEGIN {
  printf "firmware-smm-run: image patched in %.1f s; qemu exit %s, wall %.1f s; story %.1f s\n",
         b - a, rc, c - b, c - a }')"
