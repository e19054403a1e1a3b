#!/usr/bin/env bash
# The OS run: the firmware run (scripts/firmware-run.sh) with Debian's kernel
# and a busybox initramfs on the volume. After its stories the test application
# starts the kernel; the initramfs prints the TPM 1.2 event log and the PCRs as
# Linux read them, and tests/os/os_log_check.py checks the drivers' records in
# that log, each digest, and the log's replay (tpm2_eventlog) against the PCRs.
#
# Usage: scripts/os-run.sh [IMAGE_BUILD_DIR] [OS_DIR] [--keep DIR]
# IMAGE_BUILD_DIR defaults to build/default/images, OS_DIR (vmlinuz and
# initrd.img, made by the build) to build/default/tests/os/linux. Exit status 0
# only when every check of the application and of the host passed.
set -euo pipefail
cd "$(dirname "$0")/.."
images=${1:-build/default/images}
os=${2:-build/default/tests/os/linux}
keep=
if [ "${3:-}" = --keep ]; then keep=${4:?--keep needs a directory}; fi

for f in "$os/vmlinuz" "$os/initrd.img"; do
  [ -f "$f" ] || { echo "os-run: missing $f (build with linux-image-amd64, busybox-static and cpio installed)" >&2; exit 2; }
done
command -v tpm2_eventlog >/dev/null || { echo "os-run: tpm2_eventlog missing (Debian package tpm2-tools)" >&2; exit 2; }

work=${keep:-$(mktemp -d)}
mkdir -p "$work"
[ -n "$keep" ] || trap 'rm -rf "$work"' EXIT
rm -rf "$work/extra"
mkdir -p "$work/extra/linux"
cp "$os/vmlinuz" "$os/initrd.img" "$work/extra/linux/"

set +e
# Linux's start under TCG takes longer than the stories: give QEMU more time.
FIRMWARE_RUN_ESP_EXTRA=$work/extra FIRMWARE_RUN_TIMEOUT=300 \
  scripts/firmware-run.sh "$images" --keep "$work/firmware"
firmware_rc=$?
set -e
echo "== what Linux read"
[ -f "$work/firmware/serial.log" ] || { echo "os-run: no serial log" >&2; exit 1; }
check_rc=0
python3 tests/os/os_log_check.py "$work/firmware/serial.log" --keep-log "$work/event-log.bin" || check_rc=$?
[ "$firmware_rc" -eq 0 ] && [ "$check_rc" -eq 0 ]
