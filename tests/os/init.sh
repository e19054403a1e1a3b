#!/bin/sh
# /init of the OS run's initramfs (busybox): print what Linux read from the
# firmware's TPM 1.2 hand-over between marker lines on the serial console, then
# power off. The host's os_log_check.py reads the markers.
export PATH=/bin
mount -t devtmpfs devtmpfs /dev
exec </dev/console >/dev/console 2>&1
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t securityfs securityfs /sys/kernel/security

# Prints FILE base64-encoded between "=== begin NAME" and "=== end NAME".
dump() {
  if [ -r "$2" ]; then
    echo "=== begin $1"
    base64 "$2"
    echo "=== end $1"
  else
    echo "=== missing $1: $2"
  fi
}

echo "=== os: Linux $(uname -r) is running"
dump event-log /sys/kernel/security/tpm0/binary_bios_measurements
dump smbios-entry-point /sys/firmware/dmi/tables/smbios_entry_point
dump smbios-table /sys/firmware/dmi/tables/DMI
# The TPM 1.2 driver's view of the PCRs; the misc device's path on older kernels.
for pcrs in /sys/class/tpm/tpm0/pcrs /sys/class/tpm/tpm0/device/pcrs /sys/class/misc/tpm0/device/pcrs; do
  if [ -r "$pcrs" ]; then
    echo "=== begin pcrs $pcrs"
    cat "$pcrs"
    echo "=== end pcrs"
    break
  fi
done
echo "=== os: done"
poweroff -f
