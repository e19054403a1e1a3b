#!/usr/bin/env bash
# Installs the Debian packages a command needs, when any is missing.
# Usage: scripts/deps.sh [--list] [GROUP...]     (no group: every group)
#   --list    print the packages of the groups, one a line, and install nothing
#   platsim   build platsim and the driver images        (scripts/platsim.sh)
#   test      build and run every test                     (scripts/test.sh; takes firmware)
#   firmware  the images on OVMF under QEMU with swtpm      (platsim firmware, scripts/firmware-run.sh)
#   bench     the figures of bench/                        (takes firmware)
#   format    scripts/format.sh
#   tidy      scripts/tidy.sh
# A package goes into the group of the command that uses it, so that the main
# job on a fresh machine installs only what it needs.
set -euo pipefail

declare -A group=(
  [platsim]="clang lld llvm cmake ninja-build pkg-config libtpms-dev libssl-dev nlohmann-json3-dev
    acpica-tools efitools openssl"
  [test]="libgtest-dev tpm2-tools libclang-rt-14-dev python3"
  [firmware]="qemu-system-x86 ovmf swtpm swtpm-tools mtools linux-image-amd64 busybox-static cpio"
  [bench]="valgrind python3"
  [format]="clang-format"
  [tidy]="clang-tidy python3"
)
# Groups a group takes along: building comes first, the tests include the firmware run.
declare -A takes=([test]="platsim firmware format tidy" [firmware]="platsim" [bench]="platsim firmware")

list=0
if [ "${1:-}" = --list ]; then
  list=1
  shift
fi
if (($# == 0)); then set -- "${!group[@]}"; fi
wanted=()
add() {
  local g=$1
  [ -n "${group[$g]+x}" ] || { echo "deps: unknown group '$g' (${!group[*]})" >&2; exit 2; }
  for t in ${takes[$g]:-}; do add "$t"; done
  wanted+=(${group[$g]})
}
for g in "$@"; do add "$g"; done
mapfile -t packages < <(printf '%s\n' "${wanted[@]}" | sort -u)
if ((list)); then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

# One dpkg-query for all of them: a second run costs a few milliseconds.
mapfile -t installed < <(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '$NF == "installed" {print $1}')
missing=()
for p in "${packages[@]}"; do
  [[ " ${installed[*]} " == *" $p "* ]] || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  # An index already fetched (CI runs apt-get update first) is not fetched again.
  if [ -z "$(ls -A /var/lib/apt/lists 2>/dev/null | grep -v -e '^lock$' -e '^partial$')" ] ||
    ! apt-cache show "${missing[@]}" >/dev/null 2>&1; then
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  # The kernel is installed for its EFI-stub image only (the OS run makes its own
  # initramfs). On a machine no boot loader starts from /boot (a container, a CI
  # runner), making an initramfs for it is 20-40 s of waiting for nothing.
  initrd=()
  [ -d /boot/grub ] || [ -d /boot/efi/EFI ] || [ -d /boot/loader ] || initrd=(INITRD=No)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive "${initrd[@]}" \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
