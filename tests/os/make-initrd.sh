#!/usr/bin/env bash
# Builds the OS run's initramfs: a static busybox, the applets init.sh uses
# and init.sh as /init, as a gzip-compressed newc cpio archive.
# Usage: make-initrd.sh BUSYBOX INIT_SCRIPT OUTPUT
set -euo pipefail
busybox=$1
init=$2
out=$3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin" "$root/dev" "$root/proc" "$root/sys"
cp "$busybox" "$root/bin/busybox"
for applet in sh mount cat base64 echo uname poweroff; do
  ln -s busybox "$root/bin/$applet"
done
cp "$init" "$root/init"
chmod 755 "$root/init" "$root/bin/busybox"
# Fixed times and owners so the same inputs give the same archive.
find "$root" -exec touch -h -d @0 {} +
(cd "$root" && find . -mindepth 1 | LC_ALL=C sort | cpio --quiet -o -H newc -R 0:0) |
  gzip -9n >"$out.tmp"
mv "$out.tmp" "$out"
